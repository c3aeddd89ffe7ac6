#include "service/teledata/subrecord_pos_data.h"

#include <string>
#include <string_view>
#include <vector>

#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using Pos = Subrecord_POS_DATA;

constexpr uint32_t kMaxSource = 35;
constexpr uint8_t kAltitudeExists = 7;  // ALTE's bit in FLG
constexpr double kFullScale = 4294967295.0;

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

const Pos& PosOf(const DeclaredSubrecord& subrecord) { return static_cast<const Pos&>(subrecord); }

double LatitudeOf(const DeclaredSubrecord& pos) { return PosOf(pos).Latitude(); }
double LongitudeOf(const DeclaredSubrecord& pos) { return PosOf(pos).Longitude(); }
double HeadingOf(const DeclaredSubrecord& pos) { return PosOf(pos).Heading(); }
double AltitudeOf(const DeclaredSubrecord& pos) {
  return static_cast<double>(PosOf(pos).AltitudeMetres());
}

std::string CoordinateShown(uint32_t value, double degrees) {
  return StringPrintf("0x%.8X", value) + " (" + DegreesText(degrees) + ")";
}

std::string LatitudeShown(const DeclaredSubrecord& pos, uint32_t lat) {
  return CoordinateShown(lat, PosOf(pos).Latitude());
}

std::string LongitudeShown(const DeclaredSubrecord& pos, uint32_t lon) {
  return CoordinateShown(lon, PosOf(pos).Longitude());
}

std::string DirectionShown(const DeclaredSubrecord& pos, uint32_t dir) {
  return std::to_string(dir) + " (heading " + std::to_string(PosOf(pos).Heading()) + " degrees)";
}

std::string AltitudeShown(const DeclaredSubrecord& pos, uint32_t alt) {
  return std::to_string(alt) + " (" + std::to_string(PosOf(pos).AltitudeMetres()) + " m)";
}

void CheckSource(uint32_t src, std::vector<std::string>& checks) {
  if (src > kMaxSource) checks.push_back(StringPrintf("SRC %u is not a known source code", src));
}

constexpr DeclaredField Flag(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .width = 0, .shown = Shown::kFlag, .bit = bit};
}

constexpr DeclaredField WorkedOut(const char* name, double (*workOut)(const DeclaredSubrecord&),
                                  uint8_t decimals = 0, int8_t presentIn = -1,
                                  uint8_t presentBit = 0) {
  return {.name = name,
          .width = 0,
          .shown = Shown::kWorkedOut,
          .decimals = decimals,
          .workOut = workOut,
          .presentIn = presentIn,
          .presentBit = presentBit};
}

constexpr DeclaredField kFields[] = {
    {.name = "NTM",
     .label = "Navigation Time",
     .width = 4,
     .shown = Shown::kEgtsTime,
     .valueName = "time"},
    {.name = "LAT", .label = "Latitude", .width = 4, .shownText = &LatitudeShown},
    WorkedOut("latitude", &LatitudeOf, 6),
    {.name = "LONG", .label = "Longitude", .width = 4, .shownText = &LongitudeShown},
    WorkedOut("longitude", &LongitudeOf, 6),
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits},
    Flag("ALTE", "  Altitude Exists", kAltitudeExists),
    Flag("LOHS", "  Longitude West", 6),
    Flag("LAHS", "  Latitude South", 5),
    Flag("MV", "  Moving", 4),
    Flag("BB", "  Black Box", 3),
    Flag("CS", "  PZ-90.02", 2),
    Flag("FIX", "  3D Fix", 1),
    Flag("VLD", "  Valid", 0),
    // The speed word: the speed in 0.1 km/h, ALTS and DIRH.
    {.name = "speed word", .width = 2, .shown = Shown::kHidden},
    {.name = "SPD",
     .label = "Speed",
     .width = 0,
     .shown = Shown::kScaled,
     .bit = 0,
     .bits = 14,
     .decimals = 1,
     .unit = "km/h",
     .valueName = "speed_kmh"},
    {.name = "ALTS", .label = "  Altitude Below Sea", .width = 0, .bit = 14},
    {.name = "DIRH", .label = "  Heading Bit 8", .width = 0, .bit = 15},
    {.name = "DIR", .label = "Direction", .shownText = &DirectionShown},
    WorkedOut("heading", &HeadingOf),
    {.name = "ODM",
     .label = "Odometer",
     .width = 3,
     .shown = Shown::kScaled,
     .decimals = 1,
     .unit = "km",
     .valueName = "odometer_km"},
    {.name = "DIN", .label = "Digital Inputs", .shown = Shown::kBits},
    {.name = "SRC",
     .label = "Source",
     .shown = Shown::kNamed,
     .nameOf = &PosSourceName,
     .check = &CheckSource},
    {.name = "ALT",
     .label = "Altitude",
     .width = 3,
     .shownText = &AltitudeShown,
     .presentIn = Pos::kFLG,
     .presentBit = kAltitudeExists},
    WorkedOut("altitude_m", &AltitudeOf, 0, Pos::kFLG, kAltitudeExists),
    // Terminals send SRCD for any SRC: it is there when its bytes are.
    {.name = "SRCD",
     .label = "Source Data",
     .width = 2,
     .shown = Shown::kSigned,
     .presentIn = DeclaredField::kWhenBytesLeft},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kFirst, LengthCheck::kAtEnd);
static_assert(kDeclaration.valid);

constexpr bool At(std::size_t place, std::string_view name) { return kFields[place].name == name; }
static_assert(At(Pos::kNTM, "NTM") && At(Pos::kLAT, "LAT") && At(Pos::kLONG, "LONG") &&
              At(Pos::kFLG, "FLG") && At(Pos::kSPD, "SPD") && At(Pos::kALTS, "ALTS") &&
              At(Pos::kDIRH, "DIRH") && At(Pos::kDIR, "DIR") && At(Pos::kODM, "ODM") &&
              At(Pos::kDIN, "DIN") && At(Pos::kSRC, "SRC") && At(Pos::kALT, "ALT") &&
              At(Pos::kSRCD, "SRCD"));

}  // namespace

const char* PosSourceName(uint32_t src) {
  for (const SourceName& row : kSourceNames) {
    if (row.code == src) return row.name;
  }
  return nullptr;
}

static_assert(std::size(kFields) == Subrecord_POS_DATA::kFieldCount);

Subrecord_POS_DATA::Subrecord_POS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_POS_DATA::Clone() const { return CloneOf(*this); }

double Subrecord_POS_DATA::Latitude() const {
  const double degrees = LAT() / kFullScale * 90.0;
  return LAHS() ? -degrees : degrees;
}

double Subrecord_POS_DATA::Longitude() const {
  const double degrees = LONG() / kFullScale * 180.0;
  return LOHS() ? -degrees : degrees;
}

}  // namespace EGTS
