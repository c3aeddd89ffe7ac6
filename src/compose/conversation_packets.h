#pragma once
// Packets the platform sends on its own in a conversation with a terminal
// (-r), numbered from the connection's counters (one for PIDs, one for
// RNs, shared with the confirmations):
//
// The authorization answer: EGTS_PT_APPDATA, HL 11, one record (RFL 0,
// SST 1, RST 1) holding one RESULT_CODE subrecord (SRT 9, SRL 1, RCD).
//
// A command for a connected terminal: the command packet of the outgoing
// directory (record with OID = DEV_ID, SST = RST = 4, one COMMAND_DATA),
// with the connection's PID and RN and the given CID.

#include <cstdint>

#include "compose/confirmation.h"
#include "service/commands/subrecord_command_data.h"
#include "transport/bytestream.h"

uint8_t ComposeAuthorizationAnswer(uint8_t rcd, ConfirmationCounters& counters,
                                   EGTS::bytestream& out);

uint8_t ComposeConnectionCommand(const EGTS::Subrecord_COMMAND_DATA& command, uint32_t cid,
                                 ConfirmationCounters& counters, EGTS::bytestream& out);
