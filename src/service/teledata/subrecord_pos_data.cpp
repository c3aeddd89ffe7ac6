#include "service/teledata/subrecord_pos_data.h"

#include <new>

#include "service/field_outputs.h"
#include "service/field_report.h"
#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

constexpr std::size_t kFixedLength = 21;
constexpr std::size_t kAltLength = 3;
constexpr std::size_t kSrcdLength = 2;
constexpr uint8_t kMaxSource = 35;
constexpr uint16_t kSpeedMask = 0x3FFF;
constexpr double kFullScale = 4294967295.0;

struct FlagBit {
  const char* name;
  unsigned bit;
  const char* label;
};

constexpr FlagBit kFlagBits[] = {
    {"ALTE", 7, "  Altitude Exists"}, {"LOHS", 6, "  Longitude West"},
    {"LAHS", 5, "  Latitude South"},  {"MV", 4, "  Moving"},
    {"BB", 3, "  Black Box"},         {"CS", 2, "  PZ-90.02"},
    {"FIX", 1, "  3D Fix"},           {"VLD", 0, "  Valid"},
};

struct SourceName {
  uint8_t code;
  const char* name;
};

// Only the codes whose meaning the standard's sheet gives by name.
constexpr SourceName kSourceNames[] = {
    {0, "timer with ignition on"},
    {3, "reply to a request"},
    {13, "alarm button"},
    {15, "emergency call"},
};

}  // namespace

const char* PosSourceName(uint8_t src) {
  for (const SourceName& row : kSourceNames) {
    if (row.code == src) return row.name;
  }
  return nullptr;
}

double Subrecord_POS_DATA::Latitude() const {
  const double degrees = LAT / kFullScale * 90.0;
  return LAHS() ? -degrees : degrees;
}

double Subrecord_POS_DATA::Longitude() const {
  const double degrees = LONG / kFullScale * 180.0;
  return LOHS() ? -degrees : degrees;
}

uint8_t Subrecord_POS_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  const bool altitude = srl > 12 && (srd[12] & 0x80) != 0;
  if (!RequireLength(checks, srl, kFixedLength + (altitude ? kAltLength : 0))) {
    return EGTS_PC_INVDATALEN;
  }
  SrdCursor in(srd, srl);
  NTM = in.U32();
  LAT = in.U32();
  LONG = in.U32();
  FLG = in.U8();
  const uint16_t speedWord = in.U16();
  SPD = speedWord & kSpeedMask;
  ALTS = (speedWord >> 14) & 1;
  DIRH = (speedWord >> 15) & 1;
  DIR = in.U8();
  ODM = in.U24();
  DIN = in.U8();
  SRC = in.U8();
  if (altitude) ALT = in.U24();
  if (in.Remaining() >= kSrcdLength) {
    hasSRCD = true;
    SRCD = static_cast<int16_t>(in.U16());
  }
  CheckNothingLeft(in.Remaining(), checks);
  if (SRC > kMaxSource) {
    checks.push_back(StringPrintf("SRC %u is not a known source code", unsigned{SRC}));
  }
  return EGTS_PC_OK;
}

void Subrecord_POS_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

namespace {

// The fields in the order they are shown, given once to either output.
template <class Out>
void PutFields(const Subrecord_POS_DATA& pos, Out& out) {
  out.EgtsTime("NTM", pos.NTM, "Navigation Time", [&] { return EgtsTimeShown(pos.NTM); });
  out.template TextInto<kIsoTextRoom>("time", [&](char (&text)[kIsoTextRoom]) {
    return IsoUtcTextInto(int64_t{pos.NTM} + kEgtsEpochOffset, text);
  });
  out.Unsigned("LAT", pos.LAT, "Latitude", [&] {
    return StringPrintf("0x%.8X", pos.LAT) + " (" + DegreesText(pos.Latitude()) + ")";
  });
  out.Real("latitude", pos.Latitude(), 6);
  out.Unsigned("LONG", pos.LONG, "Longitude", [&] {
    return StringPrintf("0x%.8X", pos.LONG) + " (" + DegreesText(pos.Longitude()) + ")";
  });
  out.Real("longitude", pos.Longitude(), 6);
  out.Unsigned("FLG", pos.FLG, "Flags", [&] { return BitString(pos.FLG, 8) + "b"; });
  for (const FlagBit& flag : kFlagBits) {
    out.Unsigned(FieldName(flag.name), (pos.FLG >> flag.bit) & 1u, flag.label);
  }
  out.Unsigned("SPD", pos.SPD, "Speed", [&] {
    return std::to_string(pos.SPD) + " (" + ScaledText(pos.SPD, 1) + " km/h)";
  });
  out.Real("speed_kmh", pos.SPD / 10.0, 1);
  out.Unsigned("ALTS", pos.ALTS, "  Altitude Below Sea");
  out.Unsigned("DIRH", pos.DIRH, "  Heading Bit 8");
  out.Unsigned("DIR", pos.DIR, "Direction", [&] {
    return std::to_string(pos.DIR) + " (heading " + std::to_string(pos.Heading()) + " degrees)";
  });
  out.Unsigned("heading", pos.Heading());
  out.Unsigned("ODM", pos.ODM, "Odometer", [&] {
    return std::to_string(pos.ODM) + " (" + ScaledText(pos.ODM, 1) + " km)";
  });
  out.Real("odometer_km", pos.ODM / 10.0, 1);
  out.Unsigned("DIN", pos.DIN, "Digital Inputs", [&] { return BitString(pos.DIN, 8) + "b"; });
  const char* sourceName = PosSourceName(pos.SRC);
  out.Unsigned("SRC", pos.SRC, "Source", [&] { return CodeText(pos.SRC, sourceName); });
  if (sourceName) out.Text("SRC_name", sourceName);
  if (pos.ALTE()) {
    out.Unsigned("ALT", pos.ALT, "Altitude", [&] {
      return std::to_string(pos.ALT) + " (" + std::to_string(pos.AltitudeMetres()) + " m)";
    });
    out.Signed("altitude_m", pos.AltitudeMetres());
  }
  if (pos.hasSRCD) out.Signed("SRCD", pos.SRCD, "Source Data");
}

}  // namespace

void Subrecord_POS_DATA::Describe(FieldList& fields) const {
  fields.reserve(fields.size() + 32);
  FieldListOut out(fields);
  PutFields(*this, out);
}

bool Subrecord_POS_DATA::WriteFields(FieldSink& sink) const {
  FieldSinkOut out(sink);
  PutFields(*this, out);
  return true;
}

std::unique_ptr<Subrecord_Class> Subrecord_POS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_POS_DATA(*this));
}

}  // namespace EGTS
