#include "service/ecall/subrecord_accel_data.h"

#include "service/time_field.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

constexpr uint16_t kHeadLength = 5;
constexpr uint16_t kStructureLength = 8;

const char kBadDateTime[] = "ERROR: incorrect DateTime value";

// t0 + elapsedMs, with the milliseconds as the fraction.
std::string StructureTimeText(uint32_t t0, uint32_t elapsedMs) {
  UtcDateTime dt;
  if (!ToUtcDateTime(static_cast<int64_t>(t0) + elapsedMs / 1000, dt)) return kBadDateTime;
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u.%.3u GMT", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second, elapsedMs % 1000);
}

std::string AbsoluteTimeText(uint32_t t0) {
  UtcDateTime dt;
  if (!ToUtcDateTime(t0, dt)) return kBadDateTime;
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u.000 GMT", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second);
}

char SignOf(uint16_t axis) { return (axis & 0x8000) ? '-' : ' '; }

double MagnitudeOf(uint16_t axis) { return (axis & 0x7FFF) * 0.1; }

// The signed acceleration the report shows as sign and magnitude; never -0.
Field AxisField(std::string name, uint16_t axis) {
  const double magnitude = MagnitudeOf(axis);
  return Field::Real(std::move(name),
                     SignOf(axis) == '-' && magnitude != 0 ? -magnitude : magnitude, 1);
}

}  // namespace

uint8_t Subrecord_ACCEL_DATA::Encode(bytestream& out) {
  out.Reset();
  SA = static_cast<uint8_t>(structures.size());
  if (SA == 0) return EGTS_PC_NOTEN_PARAMS;
  out.AppendByte(SA);
  out.AppendU32(ATM);
  for (const Structure& s : structures) {
    out.AppendU16(s.RTM);
    out.AppendU16(s.XAAV);
    out.AppendU16(s.YAAV);
    out.AppendU16(s.ZAAV);
  }
  return EGTS_PC_OK;
}

uint8_t Subrecord_ACCEL_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl <= 12) return EGTS_PC_INVDATALEN;
  structures.clear();
  SA = srd[0];
  ATM = ReadU32(srd + 1);
  if (SA == 0) return EGTS_PC_INC_DATAFORM;

  unsigned rest = srl - kHeadLength;
  unsigned need = SA;
  const uint8_t* p = srd + kHeadLength;
  while (rest >= kStructureLength && need > 0) {
    Structure s;
    s.RTM = ReadU16(p);
    s.XAAV = ReadU16(p + 2);
    s.YAAV = ReadU16(p + 4);
    s.ZAAV = ReadU16(p + 6);
    structures.push_back(s);
    p += kStructureLength;
    rest -= kStructureLength;
    --need;
  }
  return need > 0 ? EGTS_PC_INVDATALEN : EGTS_PC_OK;
}

void Subrecord_ACCEL_DATA::Report(std::string* target) const {
  // EGTS time counts from 2010; the 32-bit sum wraps large values to 1970.
  const uint32_t t0 = static_cast<uint32_t>(ATM + kEgtsEpochOffset);
  EmitReportPiece(target,
                  StringPrintf("       Structures Amount      - %u\n"
                               "       Absolute Time          - 0x%.8X (%s)\n"
                               "       Accelerometr Data Structures:\n"
                               "       -----------------------------\n",
                               unsigned{SA}, ATM, AbsoluteTimeText(t0).c_str()),
                  true);

  uint8_t number = 0;
  uint32_t elapsedMs = 0;
  for (const Structure& s : structures) {
    ++number;
    elapsedMs += s.RTM;
    EmitReportPiece(target,
                    StringPrintf("                              %u\n"
                                 "           Relative Time      - [%.3u ms] (%s)\n"
                                 "           XAAV               - 0x%.4X %c%.1fm/c2\n"
                                 "           YAAV               - 0x%.4X %c%.1fm/c2\n"
                                 "           ZAAV               - 0x%.4X %c%.1fm/c2\n"
                                 "\n"
                                 "           ------------------\n",
                                 unsigned{number}, unsigned{s.RTM},
                                 StructureTimeText(t0, elapsedMs).c_str(), unsigned{s.XAAV},
                                 SignOf(s.XAAV), MagnitudeOf(s.XAAV), unsigned{s.YAAV},
                                 SignOf(s.YAAV), MagnitudeOf(s.YAAV), unsigned{s.ZAAV},
                                 SignOf(s.ZAAV), MagnitudeOf(s.ZAAV)),
                    false);
  }
}

void Subrecord_ACCEL_DATA::Describe(FieldList& fields) const {
  // The same 32-bit sum as the report, so that both show one date.
  const uint32_t t0 = static_cast<uint32_t>(ATM + kEgtsEpochOffset);
  fields.push_back(Field::Unsigned("SA", SA));
  fields.push_back(Field::Unsigned("ATM", ATM).EgtsTime());
  fields.push_back(IsoTimeField("time", t0));
  FieldList list;
  uint32_t elapsedMs = 0;
  for (const Structure& s : structures) {
    elapsedMs += s.RTM;
    list.push_back(Field::Object(
        "", {Field::Unsigned("RTM", s.RTM),
             IsoTimeField("time", static_cast<int64_t>(t0) + elapsedMs / 1000,
                          static_cast<int>(elapsedMs % 1000)),
             Field::Unsigned("XAAV", s.XAAV), Field::Unsigned("YAAV", s.YAAV),
             Field::Unsigned("ZAAV", s.ZAAV), AxisField("x_ms2", s.XAAV),
             AxisField("y_ms2", s.YAAV), AxisField("z_ms2", s.ZAAV)}));
  }
  fields.push_back(Field::Array("ADS", std::move(list)));
}

uint16_t Subrecord_ACCEL_DATA::EncodedLength() const {
  return static_cast<uint16_t>(kHeadLength +
                               kStructureLength * static_cast<uint8_t>(structures.size()));
}

}  // namespace EGTS
