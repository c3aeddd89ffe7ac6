#include "service/teledata/subrecord_pos_data.h"

#include <new>

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

void Subrecord_POS_DATA::Describe(FieldList& fields) const {
  fields.reserve(fields.size() + 32);
  fields.push_back(
      Field::Unsigned("NTM", NTM).Label("Navigation Time").Shown(EgtsTimeShown(NTM)).EgtsTime());
  fields.push_back(Field::Text("time", IsoUtcText(int64_t{NTM} + kEgtsEpochOffset)));
  fields.push_back(Field::Unsigned("LAT", LAT)
                       .Label("Latitude")
                       .Shown(StringPrintf("0x%.8X", LAT) + " (" + DegreesText(Latitude()) + ")"));
  fields.push_back(Field::Real("latitude", Latitude()));
  fields.push_back(
      Field::Unsigned("LONG", LONG)
          .Label("Longitude")
          .Shown(StringPrintf("0x%.8X", LONG) + " (" + DegreesText(Longitude()) + ")"));
  fields.push_back(Field::Real("longitude", Longitude()));
  fields.push_back(Field::Unsigned("FLG", FLG).Label("Flags").Shown(BitString(FLG, 8) + "b"));
  for (const FlagBit& flag : kFlagBits) {
    fields.push_back(Field::Unsigned(flag.name, (FLG >> flag.bit) & 1u).Label(flag.label));
  }
  const double speed = SPD / 10.0;
  fields.push_back(Field::Unsigned("SPD", SPD)
                       .Label("Speed")
                       .Shown(std::to_string(SPD) + " (" + ScaledText(SPD, 1) + " km/h)"));
  fields.push_back(Field::Real("speed_kmh", speed, 1));
  fields.push_back(Field::Unsigned("ALTS", ALTS).Label("  Altitude Below Sea"));
  fields.push_back(Field::Unsigned("DIRH", DIRH).Label("  Heading Bit 8"));
  fields.push_back(
      Field::Unsigned("DIR", DIR)
          .Label("Direction")
          .Shown(std::to_string(DIR) + " (heading " + std::to_string(Heading()) + " degrees)"));
  fields.push_back(Field::Unsigned("heading", Heading()));
  const double odometer = ODM / 10.0;
  fields.push_back(Field::Unsigned("ODM", ODM)
                       .Label("Odometer")
                       .Shown(std::to_string(ODM) + " (" + ScaledText(ODM, 1) + " km)"));
  fields.push_back(Field::Real("odometer_km", odometer, 1));
  fields.push_back(
      Field::Unsigned("DIN", DIN).Label("Digital Inputs").Shown(BitString(DIN, 8) + "b"));
  const char* sourceName = PosSourceName(SRC);
  fields.push_back(Field::Unsigned("SRC", SRC).Label("Source").Shown(CodeText(SRC, sourceName)));
  if (sourceName) fields.push_back(Field::Text("SRC_name", sourceName));
  if (ALTE()) {
    fields.push_back(
        Field::Unsigned("ALT", ALT)
            .Label("Altitude")
            .Shown(std::to_string(ALT) + " (" + std::to_string(AltitudeMetres()) + " m)"));
    fields.push_back(Field::Signed("altitude_m", AltitudeMetres()));
  }
  if (hasSRCD) fields.push_back(Field::Signed("SRCD", SRCD).Label("Source Data"));
}

bool Subrecord_POS_DATA::WriteFields(FieldSink& sink) const {
  sink.EgtsTime("NTM", NTM);
  char time[kIsoTextRoom];
  sink.Text("time", time, IsoUtcTextInto(int64_t{NTM} + kEgtsEpochOffset, time));
  sink.Unsigned("LAT", LAT);
  sink.Real("latitude", Latitude(), 6);
  sink.Unsigned("LONG", LONG);
  sink.Real("longitude", Longitude(), 6);
  sink.Unsigned("FLG", FLG);
  for (const FlagBit& flag : kFlagBits) sink.Unsigned(FieldName(flag.name), (FLG >> flag.bit) & 1u);
  sink.Unsigned("SPD", SPD);
  sink.Real("speed_kmh", SPD / 10.0, 1);
  sink.Unsigned("ALTS", ALTS);
  sink.Unsigned("DIRH", DIRH);
  sink.Unsigned("DIR", DIR);
  sink.Unsigned("heading", Heading());
  sink.Unsigned("ODM", ODM);
  sink.Real("odometer_km", ODM / 10.0, 1);
  sink.Unsigned("DIN", DIN);
  sink.Unsigned("SRC", SRC);
  if (const char* sourceName = PosSourceName(SRC)) sink.Text("SRC_name", sourceName);
  if (ALTE()) {
    sink.Unsigned("ALT", ALT);
    sink.Signed("altitude_m", AltitudeMetres());
  }
  if (hasSRCD) sink.Signed("SRCD", SRCD);
  return true;
}

std::unique_ptr<Subrecord_Class> Subrecord_POS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_POS_DATA(*this));
}

}  // namespace EGTS
