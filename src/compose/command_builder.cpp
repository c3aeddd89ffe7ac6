#include "compose/command_builder.h"

#include "transport/bytestream.h"

namespace {

constexpr uint16_t kAddress = 1;
constexpr uint8_t kSzActNone = 0x00;   // SZ 0, ACT 0
constexpr uint8_t kSzActParam = 0x02;  // SZ 0, ACT 2 (set a parameter)
constexpr uint8_t kSzActRead = 0x01;   // SZ 0, ACT 1 (read a parameter)

// The common part of every command object; cd holds the DT bytes already
// appended after ADR, SZ/ACT and CCD.
EGTS::Subrecord_COMMAND_DATA MakeCommand(const std::string& rcpNum, uint32_t devId,
                                         const EGTS::bytestream& cd) {
  EGTS::Subrecord_COMMAND_DATA command;
  command.SetCT(EGTS::EGTS_CT_COM);
  command.SetCCT(EGTS::EGTS_CC_OK);
  command.RCP_NUM = rcpNum;
  command.DEV_ID = devId;
  command.SetCD(cd.bytes);
  return command;
}

EGTS::bytestream CommandDataHead(uint8_t szAct, uint16_t ccd) {
  EGTS::bytestream cd;
  cd.AppendU16(kAddress);
  cd.AppendByte(szAct);
  cd.AppendU16(ccd);
  return cd;
}

// A parameter-setting command whose DT is one 32-bit value.
EGTS::Subrecord_COMMAND_DATA MakeU32Command(const std::string& rcpNum, uint32_t devId,
                                            uint16_t ccd, uint32_t value) {
  EGTS::bytestream cd = CommandDataHead(kSzActParam, ccd);
  cd.AppendU32(value);
  return MakeCommand(rcpNum, devId, cd);
}

}  // namespace

EGTS::Subrecord_COMMAND_DATA BuildEcallReq(const std::string& rcpNum, uint32_t devId,
                                           uint32_t type) {
  EGTS::bytestream cd = CommandDataHead(kSzActNone, EGTS::EGTS_ECALL_REQ);
  cd.AppendByte(static_cast<uint8_t>(type & 0xFF));
  return MakeCommand(rcpNum, devId, cd);
}

EGTS::Subrecord_COMMAND_DATA BuildEcallMsdReq(const std::string& rcpNum, uint32_t devId,
                                              uint32_t msgId, uint32_t transp) {
  EGTS::bytestream cd = CommandDataHead(kSzActNone, EGTS::EGTS_MSD_REQ);
  cd.AppendU32(msgId);
  cd.AppendByte(static_cast<uint8_t>(transp & 0xFF));
  return MakeCommand(rcpNum, devId, cd);
}

EGTS::Subrecord_COMMAND_DATA BuildUnitId(const std::string& rcpNum, uint32_t devId,
                                         const std::string& authCode) {
  EGTS::Subrecord_COMMAND_DATA command =
      MakeU32Command(rcpNum, devId, EGTS::EGTS_UNIT_ID, devId);
  // ACL is one byte: a longer code keeps what its low byte counts.
  const auto kept = static_cast<std::ptrdiff_t>(authCode.size() & 0xFF);
  command.SetAuthCode(std::vector<uint8_t>(authCode.begin(), authCode.begin() + kept));
  return command;
}

EGTS::Subrecord_COMMAND_DATA BuildSimPin(const std::string& rcpNum, uint32_t devId,
                                         uint32_t pinCode) {
  return MakeU32Command(rcpNum, devId, EGTS::EGTS_SIM_PIN, pinCode);
}

EGTS::Subrecord_COMMAND_DATA BuildSelftestInterval(const std::string& rcpNum, uint32_t devId,
                                                   uint32_t interval) {
  return MakeU32Command(rcpNum, devId, EGTS::EGTS_SELFTEST_INTERVAL, interval);
}

EGTS::Subrecord_COMMAND_DATA BuildRadioMuteDelay(const std::string& rcpNum, uint32_t devId,
                                                 uint32_t delay) {
  return MakeU32Command(rcpNum, devId, EGTS::EGTS_RADIO_MUTE_DELAY, delay);
}

EGTS::Subrecord_COMMAND_DATA BuildRadioUnmuteDelay(const std::string& rcpNum, uint32_t devId,
                                                   uint32_t delay) {
  return MakeU32Command(rcpNum, devId, EGTS::EGTS_RADIO_UNMUTE_DELAY, delay);
}

EGTS::Subrecord_COMMAND_DATA BuildParameterRead(uint16_t code) {
  return MakeCommand("", 0, CommandDataHead(kSzActRead, code));
}

EGTS::Subrecord_COMMAND_DATA BuildParameterSet(uint16_t code, const std::vector<uint8_t>& dt) {
  EGTS::bytestream cd = CommandDataHead(kSzActParam, code);
  for (const uint8_t byte : dt) cd.AppendByte(byte);
  return MakeCommand("", 0, cd);
}
