#pragma once
// An EGTS_PT_APPDATA packet of one record for a conversation, numbered from
// the connection's counters (ConfirmationCounters, shared with the
// confirmations):
//   header  PRV 1, SKID 0, flags 0, HL 11, HE 0, FDL, PID, PT 1, HCS
//   record  RL, RN, RFL 0, SST = RST = service, then each subrecord as
//           SRT u8, SRL u16, SRD
//   SFRCS   CRC-16 of the frame data

#include <cstdint>
#include <optional>
#include <vector>

#include "compose/confirmation.h"

struct RawSubrecord {
  uint8_t srt = 0;
  std::vector<uint8_t> srd;
};

struct RecordPacket {
  std::vector<uint8_t> bytes;
  uint16_t pid = 0;
  uint16_t rn = 0;
};

// Nothing when the record does not fit one packet (frame data over 65517
// bytes); the counters are then left as they were.
std::optional<RecordPacket> ComposeRecordPacket(uint8_t service,
                                                const std::vector<RawSubrecord>& subrecords,
                                                ConfirmationCounters& counters);
