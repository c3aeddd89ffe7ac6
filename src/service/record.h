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
#include <optional>
#include <string>
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
  // The bytes of a subrecord header cut short (result 131), as many as the
  // record data held; empty when the header was whole. SRT and SRL stay 0.
  std::vector<uint8_t> cutHeader;

  // Written out rather than defaulted: a new entry (emplace_back()) then
  // only runs the initializers above; a defaulted one is first zeroed
  // whole, which GCC does with a `rep stos` that cost each subrecord more
  // than its own reading.
  Subrecord_Entry() {}  // NOLINT(modernize-use-equals-default)
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
  // The record data ended inside a subrecord header or a subrecord's data.
  bool dataCutShort = false;
  // The bytes of a record header cut short (result 131), as many as the
  // record area held; empty when the header was whole. The fields keep
  // what the parse read before it stopped (0 for the rest).
  std::vector<uint8_t> cutHeader;
};

// A record header as far as its bytes go: a field is present only when all
// of its bytes are there (and, for OID, EVID and TM, when its flag is set).
struct RecordHeaderView {
  std::optional<uint16_t> RL;
  std::optional<uint16_t> RN;
  std::optional<uint8_t> RFL;
  std::optional<uint32_t> OID;
  std::optional<uint32_t> EVID;
  std::optional<uint32_t> TM;
  std::optional<uint8_t> SST;
  std::optional<uint8_t> RST;
};

// The header as received: every field of a whole header; of a header cut
// short, the fields read from the bytes that are there.
RecordHeaderView HeaderAsReceived(const Record& record);

// The header as the record stores it: RL, RN, RFL, SST and RST always, OID,
// EVID and TM when their flags are set (0 where a cut header lacked them).
RecordHeaderView HeaderAsStored(const Record& record);

// What the standard's checks (-x) find in a record's header: an SST that is
// not a service of the standard.
std::vector<std::string> RecordChecks(const Record& record);

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
