#include "service/ecall/subrecord_track_data.h"

#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using Place = Subrecord_TRACK_DATA::Place;
using PointPlace = Subrecord_TRACK_DATA::PointPlace;

constexpr uint16_t kLeastLength = 6;  // SA, ATM and one flag byte
constexpr uint8_t kPointDataBit = 7;  // TNDE
constexpr double kFullScale = 4294967295.0;

const char kBadDateTime[] = "ERROR: incorrect DateTime value";

// EGTS time counts from 2010; the 32-bit sum wraps large values to 1970.
uint32_t StartOf(const DeclaredSubrecord& subrecord) {
  return static_cast<uint32_t>(subrecord.Value(Place::kATM) + kEgtsEpochOffset);
}

uint32_t ElapsedTenths(const DeclaredSubrecord& subrecord, std::size_t point) {
  return subrecord.ElementSum(point, PointPlace::kRTM);
}

std::string AbsoluteTimeShown(const DeclaredSubrecord& subrecord, uint32_t atm) {
  UtcDateTime dt;
  if (!ToUtcDateTime(StartOf(subrecord), dt)) return StringPrintf("0x%.8X (%s)", atm, kBadDateTime);
  return StringPrintf("0x%.8X (%.2u.%.2u.%.4u %.2u:%.2u:%.2u.000  GMT)", atm, dt.day, dt.month,
                      dt.year, dt.hour, dt.minute, dt.second);
}

double StartMs(const DeclaredSubrecord& subrecord) { return StartOf(subrecord) * 1000.0; }

// The start plus the tenths of a second of the points up to this one.
double PointMs(const DeclaredSubrecord& subrecord, std::size_t point) {
  return StartMs(subrecord) + ElapsedTenths(subrecord, point) * 100.0;
}

std::string RelativeTimeShown(const DeclaredSubrecord& subrecord, std::size_t point, uint32_t rtm) {
  const uint32_t elapsed = ElapsedTenths(subrecord, point);
  UtcDateTime dt;
  if (!ToUtcDateTime(static_cast<int64_t>(StartOf(subrecord)) + elapsed / 10, dt)) {
    return StringPrintf("[%.2u00 ms] (%s)", rtm, kBadDateTime);
  }
  return StringPrintf("[%.2u00 ms] (%.2u.%.2u.%.4u %.2u:%.2u:%.2u.%.1u00 GMT)", rtm, dt.day,
                      dt.month, dt.year, dt.hour, dt.minute, dt.second, elapsed % 10);
}

bool Flag(const DeclaredSubrecord& subrecord, std::size_t point, PointPlace place) {
  return subrecord.ElementValue(point, place) != 0;
}

double LatitudeDegrees(const DeclaredSubrecord& subrecord, std::size_t point) {
  return subrecord.ElementValue(point, PointPlace::kLAT) / kFullScale * 90.0;
}

double LongitudeDegrees(const DeclaredSubrecord& subrecord, std::size_t point) {
  return subrecord.ElementValue(point, PointPlace::kLONG) / kFullScale * 180.0;
}

// The report reads LAHS 1 as north and LOHS 1 as west.
std::string LatitudeShown(const DeclaredSubrecord& subrecord, std::size_t point, uint32_t lat) {
  return StringPrintf("0x%.8X (%c%.8lf)", lat,
                      Flag(subrecord, point, PointPlace::kLAHS) ? 'N' : 'S',
                      LatitudeDegrees(subrecord, point));
}

std::string LongitudeShown(const DeclaredSubrecord& subrecord, std::size_t point, uint32_t lon) {
  return StringPrintf("0x%.8X (%c%.8lf)", lon,
                      Flag(subrecord, point, PointPlace::kLOHS) ? 'W' : 'E',
                      LongitudeDegrees(subrecord, point));
}

// A magnitude with the sign its hemisphere bit gives; never -0.
double Signed(double magnitude, bool negative) {
  return negative && magnitude != 0 ? -magnitude : magnitude;
}

double Latitude(const DeclaredSubrecord& subrecord, std::size_t point) {
  return Signed(LatitudeDegrees(subrecord, point), !Flag(subrecord, point, PointPlace::kLAHS));
}

double Longitude(const DeclaredSubrecord& subrecord, std::size_t point) {
  return Signed(LongitudeDegrees(subrecord, point), Flag(subrecord, point, PointPlace::kLOHS));
}

std::string SpeedShown(const DeclaredSubrecord&, std::size_t, uint32_t spd) {
  return StringPrintf("%u  (%.2f kmph)", spd, spd / 100.0);
}

double SpeedKmh(const DeclaredSubrecord& subrecord, std::size_t point) {
  return subrecord.ElementValue(point, PointPlace::kSPD) / 100.0;
}

// Bit 8 of the direction travels as bit 15 of the speed word.
double Direction(const DeclaredSubrecord& subrecord, std::size_t point) {
  return subrecord.ElementValue(point, PointPlace::kDirectionByte) +
         (Flag(subrecord, point, PointPlace::kDIRH) ? 256 : 0);
}

std::string DirectionShown(const DeclaredSubrecord& subrecord, std::size_t point, uint32_t) {
  return StringPrintf("%u ", static_cast<unsigned>(Direction(subrecord, point)));
}

// The hemisphere flags stand under their bits of the flag byte.
std::string LongitudeHemisphereShown(const DeclaredSubrecord& subrecord, std::size_t point,
                                     uint32_t) {
  return StringPrintf(" %u", subrecord.ElementValue(point, PointPlace::kLOHS));
}

std::string LatitudeHemisphereShown(const DeclaredSubrecord& subrecord, std::size_t point,
                                    uint32_t) {
  return StringPrintf("  %u", subrecord.ElementValue(point, PointPlace::kLAHS));
}

// The report's lines of the hemispheres show the flags; no value of their own.
double NoValue(const DeclaredSubrecord&, std::size_t) { return 0; }

constexpr DeclaredField Part(const char* name, uint8_t bit, uint8_t bits = 1,
                             const char* label = nullptr) {
  return {.name = name, .label = label, .width = 0, .bit = bit, .bits = bits};
}

constexpr DeclaredField WithData(DeclaredField field) {
  field.presentIn = PointPlace::kFlags;
  field.presentBit = kPointDataBit;
  return field;
}

constexpr DeclaredField WorkedOut(const char* name, const char* label,
                                  double (*workOutAt)(const DeclaredSubrecord&, std::size_t),
                                  uint8_t decimals,
                                  std::string (*shownAt)(const DeclaredSubrecord&, std::size_t,
                                                         uint32_t) = nullptr) {
  return WithData({.name = name,
                   .label = label,
                   .width = 0,
                   .shown = Shown::kWorkedOut,
                   .decimals = decimals,
                   .workOutAt = workOutAt,
                   .shownAt = shownAt});
}

constexpr DeclaredField kPointFields[] = {
    {.name = "flags", .width = 1, .shown = Shown::kHidden},
    Part("TNDE", 7, 1, "  Point Data Exist"),
    Part("LOHS", 6),
    Part("LAHS", 5),
    {.name = "RTM",
     .label = "Relative Time",
     .width = 0,
     .bit = 0,
     .bits = 5,
     .shownAt = &RelativeTimeShown},
    {.name = "time", .width = 0, .shown = Shown::kWorkedTime, .decimals = 3, .workOutAt = &PointMs},
    WithData({.name = "LAT", .label = "LAT", .width = 4, .shownAt = &LatitudeShown}),
    WithData({.name = "LONG", .label = "LON", .width = 4, .shownAt = &LongitudeShown}),
    WithData({.name = "speed", .width = 2, .shown = Shown::kHidden}),
    WithData({.name = "SPD",
              .label = "SPEED",
              .width = 0,
              .bit = 0,
              .bits = 15,
              .shownAt = &SpeedShown}),
    WithData(Part("DIRH", 15)),
    WithData({.name = "direction", .width = 1, .shown = Shown::kHidden}),
    WorkedOut("DIR", "DIR", &Direction, 0, &DirectionShown),
    WorkedOut("latitude", nullptr, &Latitude, 8),
    WorkedOut("longitude", nullptr, &Longitude, 8),
    WorkedOut("speed_kmh", nullptr, &SpeedKmh, 2),
    WorkedOut("heading", nullptr, &Direction, 0),
    WorkedOut(nullptr, "  Long. Hemisphere", &NoValue, 0, &LongitudeHemisphereShown),
    WorkedOut(nullptr, "  Lat.  Hemisphere", &NoValue, 0, &LatitudeHemisphereShown),
};

// The report: the relative time first, the hemispheres after TNDE.
constexpr uint8_t kPointReportOrder[] = {PointPlace::kRTM,
                                         PointPlace::kTNDE,
                                         PointPlace::kHemisphereOfLongitude,
                                         PointPlace::kHemisphereOfLatitude,
                                         PointPlace::kLAT,
                                         PointPlace::kLONG,
                                         PointPlace::kSPD,
                                         PointPlace::kDIR,
                                         PointPlace::kFlags,
                                         PointPlace::kLOHS,
                                         PointPlace::kLAHS,
                                         PointPlace::kPointTime,
                                         PointPlace::kSpeedWord,
                                         PointPlace::kDIRH,
                                         PointPlace::kDirectionByte,
                                         PointPlace::kLatitude,
                                         PointPlace::kLongitude,
                                         PointPlace::kSpeedKmh,
                                         PointPlace::kHeading};

constexpr Declaration kPoint =
    Declare(kPointFields, LeftoverCheck::kNone, LengthCheck::kBeforeDependent,
            WireOrder::kLittleEndian, kPointReportOrder);
static_assert(kPoint.valid);

constexpr DeclaredField kFields[] = {
    {.name = "SA", .label = "Structures Amount"},
    {.name = "ATM",
     .label = "Absolute Time",
     .width = 4,
     .shown = Shown::kEgtsTime,
     .shownText = &AbsoluteTimeShown},
    {.name = "time", .width = 0, .shown = Shown::kWorkedTime, .workOut = &StartMs},
    // A point cut short is passed over after its flag byte.
    {.name = "points",
     .label = "Track Points Data Structures",
     .shown = Shown::kElements,
     .lengthIn = Place::kSA,
     .element = &kPoint,
     .cut = DeclaredField::ElementCut::kDropped,
     .closing = "           ------------------\n"},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_TRACK_DATA::kFieldCount);

Subrecord_TRACK_DATA::Subrecord_TRACK_DATA() : DeclaredWithElements(kDeclaration) {
  for (std::size_t place = 0; place < kFieldCount; ++place) Set(place, 0);
}

uint8_t Subrecord_TRACK_DATA::Encode(bytestream& out) {
  out.Reset();
  Set(kSA, static_cast<uint8_t>(PointCount()));
  const uint8_t result = DeclaredWithElements::Encode(out);
  if (PointCount() == 0) return EGTS_PC_NOTEN_PARAMS;
  return result;
}

uint8_t Subrecord_TRACK_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kLeastLength) return EGTS_PC_INVDATALEN;
  const uint8_t result = DeclaredWithElements::Decode(srd, srl);
  if (SA() == 0) return EGTS_PC_INC_DATAFORM;
  return result;
}

Subrecord_TRACK_DATA::Point Subrecord_TRACK_DATA::PointAt(std::size_t index) const {
  Point point;
  point.flags = static_cast<uint8_t>(ElementValue(index, kFlags));
  point.TNDE = ElementValue(index, kTNDE) != 0;
  point.LAT = ElementValue(index, kLAT);
  point.LONG = ElementValue(index, kLONG);
  point.SPD = static_cast<uint16_t>(ElementValue(index, kSPD));
  point.DIR = static_cast<uint16_t>(Direction(*this, index));
  return point;
}

std::vector<Subrecord_TRACK_DATA::Point> Subrecord_TRACK_DATA::Points() const {
  std::vector<Point> points;
  for (std::size_t k = 0; k < PointCount(); ++k) points.push_back(PointAt(k));
  return points;
}

void Subrecord_TRACK_DATA::AddPoint(const Point& point) {
  const std::size_t k = AddElement();
  const auto flags = static_cast<uint8_t>((point.flags & 0x7F) | (point.TNDE ? 0x80 : 0));
  const auto set = [&](std::size_t place, uint32_t value) { SetElement(k, place, value); };
  // The parts cover every bit of the flag byte.
  set(kFlags, 0);
  set(kTNDE, point.TNDE ? 1 : 0);
  set(kLOHS, (flags >> 6) & 1u);
  set(kLAHS, (flags >> 5) & 1u);
  set(kRTM, flags & 0x1Fu);
  set(kPointTime, 0);
  if (!point.TNDE) return;
  set(kLAT, point.LAT);
  set(kLONG, point.LONG);
  set(kSpeedWord, 0);
  set(kSPD, point.SPD & 0x7FFFu);
  set(kDIRH, point.DIR >= 256 ? 1 : 0);
  set(kDirectionByte, point.DIR & 0xFFu);
  for (const std::size_t place : {kDIR, kLatitude, kLongitude, kSpeedKmh, kHeading,
                                  kHemisphereOfLongitude, kHemisphereOfLatitude}) {
    set(place, 0);
  }
}

}  // namespace EGTS
