#include "service/ecall/subrecord_track_data.h"

#include "service/time_field.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

constexpr uint16_t kHeadLength = 5;
constexpr unsigned kPointDataLength = 11;  // after the flag byte
constexpr uint8_t kTNDE = 0x80;
constexpr uint8_t kLOHS = 0x40;
constexpr uint8_t kLAHS = 0x20;
constexpr uint8_t kRTMMask = 0x1F;

const char kBadDateTime[] = "ERROR: incorrect DateTime value";

// t0 + elapsed tenths of a second, with the tenths as the fraction.
std::string PointTimeText(uint32_t t0, uint32_t elapsedTenths) {
  UtcDateTime dt;
  if (!ToUtcDateTime(static_cast<int64_t>(t0) + elapsedTenths / 10, dt)) return kBadDateTime;
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u.%.1u00 GMT", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second, elapsedTenths % 10);
}

std::string AbsoluteTimeText(uint32_t t0) {
  UtcDateTime dt;
  if (!ToUtcDateTime(t0, dt)) return kBadDateTime;
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u.000  GMT", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second);
}

std::string PointDetailText(const Subrecord_TRACK_DATA::Point& point) {
  if (!point.TNDE) return std::string();
  const unsigned lohs = (point.flags & kLOHS) ? 1 : 0;
  const unsigned lahs = (point.flags & kLAHS) ? 1 : 0;
  return StringPrintf("             Long. Hemisphere -  %u\n"
                      "             Lat.  Hemisphere -   %u\n"
                      "           LAT                - 0x%.8X (%c%.8lf)\n"
                      "           LON                - 0x%.8X (%c%.8lf)\n"
                      "           SPEED              - %u  (%.2f kmph)\n"
                      "           DIR                - %u \n"
                      "           ------------------\n",
                      lohs, lahs, point.LAT, lahs ? 'N' : 'S', point.LAT / 4294967295.0 * 90.0,
                      point.LONG, lohs ? 'W' : 'E', point.LONG / 4294967295.0 * 180.0,
                      unsigned{point.SPD}, point.SPD / 100.0, unsigned{point.DIR});
}

// A magnitude with the sign its hemisphere bit gives; never -0.
double Signed(double magnitude, bool negative) {
  return negative && magnitude != 0 ? -magnitude : magnitude;
}

FieldList PointFields(const Subrecord_TRACK_DATA::Point& point, uint32_t t0,
                      uint32_t elapsedTenths) {
  const bool lohs = (point.flags & kLOHS) != 0;
  const bool lahs = (point.flags & kLAHS) != 0;
  FieldList fields{
      Field::Unsigned("TNDE", point.TNDE ? 1 : 0),
      Field::Unsigned("LOHS", lohs ? 1 : 0),
      Field::Unsigned("LAHS", lahs ? 1 : 0),
      Field::Unsigned("RTM", point.flags & kRTMMask),
      IsoTimeField("time", static_cast<int64_t>(t0) + elapsedTenths / 10,
                   static_cast<int>(elapsedTenths % 10) * 100)};
  if (!point.TNDE) return fields;
  // The report reads LAHS 1 as north and LOHS 1 as west; the signs follow it.
  fields.push_back(Field::Unsigned("LAT", point.LAT));
  fields.push_back(Field::Unsigned("LONG", point.LONG));
  fields.push_back(Field::Unsigned("SPD", point.SPD));
  fields.push_back(Field::Unsigned("DIRH", point.DIR >= 256 ? 1 : 0));
  fields.push_back(Field::Unsigned("DIR", point.DIR));
  fields.push_back(Field::Real("latitude", Signed(point.LAT / 4294967295.0 * 90.0, !lahs), 8));
  fields.push_back(Field::Real("longitude", Signed(point.LONG / 4294967295.0 * 180.0, lohs), 8));
  fields.push_back(Field::Real("speed_kmh", point.SPD / 100.0, 2));
  fields.push_back(Field::Unsigned("heading", point.DIR));
  return fields;
}

}  // namespace

uint8_t Subrecord_TRACK_DATA::Encode(bytestream& out) {
  out.Reset();
  SA = static_cast<uint8_t>(points.size());
  out.AppendByte(SA);
  out.AppendU32(ATM);
  if (points.empty()) return EGTS_PC_NOTEN_PARAMS;
  for (Point& point : points) {
    if (point.TNDE) point.flags |= kTNDE;
    out.AppendByte(point.flags);
    if (!point.TNDE) continue;
    out.AppendU32(point.LAT);
    out.AppendU32(point.LONG);
    // Bit 8 of the direction travels as bit 15 of the speed word.
    out.AppendU16(static_cast<uint16_t>((point.SPD & 0x7FFF) | (point.DIR >= 256 ? 0x8000 : 0)));
    out.AppendByte(static_cast<uint8_t>(point.DIR & 0xFF));
  }
  return EGTS_PC_OK;
}

uint8_t Subrecord_TRACK_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl <= kHeadLength) return EGTS_PC_INVDATALEN;
  points.clear();
  SA = srd[0];
  ATM = ReadU32(srd + 1);
  if (SA == 0) return EGTS_PC_INC_DATAFORM;

  unsigned rest = srl - kHeadLength;
  unsigned need = SA;
  const uint8_t* p = srd + kHeadLength;
  while (rest > 0 && need > 0) {
    const uint8_t flags = *p++;
    --rest;
    if (!(flags & kTNDE)) {
      Point point;
      point.flags = flags;
      points.push_back(point);
    } else if (rest >= kPointDataLength) {
      Point point;
      point.TNDE = true;
      point.flags = flags;
      point.LAT = ReadU32(p);
      point.LONG = ReadU32(p + 4);
      const uint16_t speedWord = ReadU16(p + 8);
      point.SPD = speedWord & 0x7FFF;
      point.DIR = static_cast<uint16_t>(p[10] + ((speedWord & 0x8000) ? 256 : 0));
      points.push_back(point);
      p += kPointDataLength;
      rest -= kPointDataLength;
    }
    // A point with data but too few bytes left is skipped: only its flag
    // byte is consumed and the next byte is read as a flag byte.
    --need;
  }
  return need > 0 ? EGTS_PC_INVDATALEN : EGTS_PC_OK;
}

void Subrecord_TRACK_DATA::Report(std::string* target) const {
  // EGTS time counts from 2010; the 32-bit sum wraps large values to 1970.
  const uint32_t t0 = static_cast<uint32_t>(ATM + kEgtsEpochOffset);
  EmitReportPiece(target,
                  StringPrintf("       Structures Amount      - %u\n"
                               "       Absolute Time          - 0x%.8X (%s)\n"
                               "       Track Points Data Structures:\n"
                               "       -----------------------------\n",
                               unsigned{SA}, ATM, AbsoluteTimeText(t0).c_str()),
                  true);

  uint8_t number = 0;
  uint32_t elapsedTenths = 0;
  for (const Point& point : points) {
    ++number;
    const unsigned rtm = point.flags & kRTMMask;
    elapsedTenths += rtm;
    EmitReportPiece(target,
                    StringPrintf("                              %u\n"
                                 "           Relative Time      - [%.2u00 ms] (%s)\n"
                                 "             Point Data Exist - %u\n"
                                 "%s",
                                 unsigned{number}, rtm, PointTimeText(t0, elapsedTenths).c_str(),
                                 point.TNDE ? 1u : 0u, PointDetailText(point).c_str()),
                    false);
  }
}

void Subrecord_TRACK_DATA::Describe(FieldList& fields) const {
  // The same 32-bit sum as the report, so that both show one date.
  const uint32_t t0 = static_cast<uint32_t>(ATM + kEgtsEpochOffset);
  fields.push_back(Field::Unsigned("SA", SA));
  fields.push_back(Field::Unsigned("ATM", ATM).EgtsTime());
  fields.push_back(IsoTimeField("time", t0));
  FieldList list;
  uint32_t elapsedTenths = 0;
  for (const Point& point : points) {
    elapsedTenths += point.flags & kRTMMask;
    list.push_back(Field::Object("", PointFields(point, t0, elapsedTenths)));
  }
  fields.push_back(Field::Array("points", std::move(list)));
}

uint16_t Subrecord_TRACK_DATA::EncodedLength() const {
  size_t length = kHeadLength;
  for (const Point& point : points) length += point.TNDE ? 1 + kPointDataLength : 1;
  return static_cast<uint16_t>(length);
}

}  // namespace EGTS
