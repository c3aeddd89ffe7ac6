#pragma once
// One service record and its subrecord entries.
//
// Record on the wire (little-endian):
//   0 RL(2)  2 RN(2)  4 RFL  [OID(4) if OBFE] [EVID(4) if EVFE] [TM(4) if TMFE]
//   SST  RST  then RL bytes of record data RD: a run of subrecords.
// RFL bits: 0 OBFE, 1 EVFE, 2 TMFE, 3-4 RPP, 5 GRP, 6 RSOD, 7 SSOD.
// Subrecord: 0 SRT  1 SRL(2)  3 SRD (SRL bytes).

#include <cstdint>
#include <memory>
#include <vector>

#include "service/subrecord_class.h"

namespace EGTS {

constexpr uint8_t RFL_OBFE = 0x01;
constexpr uint8_t RFL_EVFE = 0x02;
constexpr uint8_t RFL_TMFE = 0x04;

constexpr uint16_t kSubrecordHeaderLength = 3;

struct Subrecord_Entry {
  uint8_t result = 0;
  uint16_t SRT = 0;
  uint16_t SRL = 0;
  std::unique_ptr<Subrecord_Class> object;  // null where none was made
  // Where no object was made: the subrecord's bytes (at most SRL, as many
  // as the record held) and what the decoder found wrong, for the reports.
  std::vector<uint8_t> SRD;
  std::vector<std::string> checks;

  Subrecord_Entry() = default;
  // Copies clone the object by SRT (see CopySubrecordEntry).
  Subrecord_Entry(const Subrecord_Entry& other);
  Subrecord_Entry& operator=(const Subrecord_Entry& other);
  Subrecord_Entry(Subrecord_Entry&&) noexcept = default;
  Subrecord_Entry& operator=(Subrecord_Entry&&) noexcept = default;
};

struct Record {
  uint8_t result = 0;
  uint8_t headerLength = 0;  // header bytes consumed by the parse
  uint16_t RL = 0;
  uint16_t RN = 0;
  uint8_t RFL = 0;
  uint32_t OID = 0;
  uint32_t EVID = 0;
  uint32_t TM = 0;
  uint8_t SST = 0;
  uint8_t RST = 0;
  std::vector<Subrecord_Entry> subrecords;
  // False when a subrecord header or length left the rest of the record
  // data unreadable, so the entries stop before its end.
  bool subrecordsWhole = true;
};

// Header bytes of a record with these flags: 7, plus 4 for each of OBFE,
// EVFE and TMFE.
uint16_t RecordHeaderLength(uint8_t RFL);

// Sum over the entries of 3 + the object's EncodedLength (3 without an
// object), modulo 65536; stored in the record's RL and returned.
uint16_t RecordDataLength(Record& record);

// Appends an entry for a composed subrecord (SRL from its EncodedLength)
// and updates the record's RL.
void AppendSubrecord(Record& record, uint16_t srt, std::unique_ptr<Subrecord_Class> object);

}  // namespace EGTS
