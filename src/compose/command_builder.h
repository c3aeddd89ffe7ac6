#pragma once
// Builds the COMMAND_DATA subrecord of each operator console command. Every
// object is an EGTS_CT_COM command (CCT 0, CID 0, SID 0) carrying the
// recipient's phone number and the device number; its CD is
//   ADR u16 = 1, SZ/ACT byte, CCD u16, DT (little-endian values).
// The work thread later replaces CID 0 with its next command identifier.

#include <cstdint>
#include <string>
#include <vector>

#include "service/commands/subrecord_command_data.h"

// EGTS_ECALL_REQ: DT is the low 8 bits of type.
EGTS::Subrecord_COMMAND_DATA BuildEcallReq(const std::string& rcpNum, uint32_t devId,
                                           uint32_t type);

// EGTS_ECALL_MSD_REQ (command code EGTS_MSD_REQ): DT is msgId as u32, then
// the low 8 bits of transp.
EGTS::Subrecord_COMMAND_DATA BuildEcallMsdReq(const std::string& rcpNum, uint32_t devId,
                                              uint32_t msgId, uint32_t transp);

// EGTS_UNIT_ID: flags ACFE, ACL the code's length (low 8 bits), AC that many
// of its characters; DT is devId as u32.
EGTS::Subrecord_COMMAND_DATA BuildUnitId(const std::string& rcpNum, uint32_t devId,
                                         const std::string& authCode);

// EGTS_SIM_PIN: DT is pinCode as u32.
EGTS::Subrecord_COMMAND_DATA BuildSimPin(const std::string& rcpNum, uint32_t devId,
                                         uint32_t pinCode);

// EGTS_SELFTEST_INTERVAL: DT is interval as u32.
EGTS::Subrecord_COMMAND_DATA BuildSelftestInterval(const std::string& rcpNum, uint32_t devId,
                                                   uint32_t interval);

// EGTS_RADIO_MUTE_DELAY: DT is delay as u32.
EGTS::Subrecord_COMMAND_DATA BuildRadioMuteDelay(const std::string& rcpNum, uint32_t devId,
                                                 uint32_t delay);

// EGTS_RADIO_UNMUTE_DELAY: DT is delay as u32.
EGTS::Subrecord_COMMAND_DATA BuildRadioUnmuteDelay(const std::string& rcpNum, uint32_t devId,
                                                   uint32_t delay);

// A read (ACT 1) of the parameter with this code: no DT.
EGTS::Subrecord_COMMAND_DATA BuildParameterRead(uint16_t code);

// A set (ACT 2) of the parameter with this code; DT as the parameter table
// encodes the value.
EGTS::Subrecord_COMMAND_DATA BuildParameterSet(uint16_t code, const std::vector<uint8_t>& dt);
