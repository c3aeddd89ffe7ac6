#pragma once
// Composition of a command packet around one operator command: an
// EGTS_PT_APPDATA packet with one record of the commands service holding one
// COMMAND_DATA subrecord.

#include <cstdint>

#include "service/commands/subrecord_command_data.h"
#include "transport/bytestream.h"

// The work thread's counters. They start at 1, 1 and the low 12 bits of
// the start time.
struct CommandCounters {
  uint32_t packetId = 1;
  uint16_t recordNumber = 1;
  uint16_t commandId = 0;
};

// Fills header (PID from packetId), record (RN from recordNumber, RFL 0x59,
// OID = DEV_ID, SST and RST 4) and entry (SRT 51, a copy of the command whose
// CID 0 becomes the next commandId), advances the counters and serialises
// into `out`. Returns the serializer's result; 0 means `out` holds the packet.
uint8_t ComposeCommandPacket(const EGTS::Subrecord_COMMAND_DATA& command,
                             CommandCounters& counters, EGTS::bytestream& out);
