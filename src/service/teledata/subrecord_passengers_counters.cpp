#include "service/teledata/subrecord_passengers_counters.h"

#include <new>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kHeadLength = 5;
constexpr std::size_t kMinRaw = 2;
constexpr std::size_t kMaxRaw = 512;
constexpr uint8_t kReservedFlags = 0xFE;

}  // namespace

uint8_t Subrecord_PASSENGERS_COUNTERS::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, kHeadLength)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd, srl);
  FLG = in.U8();
  DPR = in.U8();
  DRL = in.U8();
  MADDR = in.U16();
  if (RDF()) {
    if (!RequireLength(checks, srl, kHeadLength + kMinRaw)) return EGTS_PC_INVDATALEN;
    PCD = in.Rest();
    if (PCD.size() > kMaxRaw) {
      checks.push_back(StringPrintf("PCD holds %zu bytes, more than %zu", PCD.size(), kMaxRaw));
    }
  } else {
    if (!RequireLength(checks, srl, kHeadLength + 2 * CountBits(DPR))) return EGTS_PC_INVDATALEN;
    for (unsigned n = 0; n < 8; ++n) {
      if (!(DPR & (1u << n))) continue;
      IPQ[n] = in.U8();
      OPQ[n] = in.U8();
    }
  }
  CheckNothingLeft(in.Remaining(), checks);
  CheckReservedBits(FLG, kReservedFlags, "FLG", checks);
  return EGTS_PC_OK;
}

void Subrecord_PASSENGERS_COUNTERS::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

void Subrecord_PASSENGERS_COUNTERS::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("FLG", FLG).Label("Flags").Shown(BitString(FLG, 8) + "b"));
  fields.push_back(Field::Unsigned("RDF", RDF()).Label("  Raw Data"));
  fields.push_back(
      Field::Unsigned("DPR", DPR).Label("Doors Counted").Shown(BitString(DPR, 8) + "b"));
  fields.push_back(
      Field::Unsigned("DRL", DRL).Label("Doors Opened").Shown(BitString(DRL, 8) + "b"));
  fields.push_back(Field::Unsigned("MADDR", MADDR).Label("Module Address"));
  if (RDF()) {
    fields.push_back(Field::Bytes("PCD", PCD.data(), PCD.size()).Label("Counters Data"));
    return;
  }
  for (unsigned n = 0; n < 8; ++n) {
    if (!(DPR & (1u << n))) continue;
    fields.push_back(Field::Unsigned("IPQ" + std::to_string(n + 1), IPQ[n])
                         .Label("Door " + std::to_string(n + 1) + " In"));
    fields.push_back(Field::Unsigned("OPQ" + std::to_string(n + 1), OPQ[n])
                         .Label("Door " + std::to_string(n + 1) + " Out"));
  }
}

std::unique_ptr<Subrecord_Class> Subrecord_PASSENGERS_COUNTERS::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_PASSENGERS_COUNTERS(*this));
}

}  // namespace EGTS
