#include "service/ecall/subrecord_ecall_msd_data.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;
using Msd = Subrecord_ECALL_MSD_DATA;
using Place = Msd::Place;

constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();
constexpr double kMilliarcsecondsPerDegree = 3600000.0;

void AppendBigEndian16(bytestream& out, uint16_t value) {
  out.AppendByte(static_cast<uint8_t>(value >> 8));
  out.AppendByte(static_cast<uint8_t>(value & 0xFF));
}

void AppendBigEndian32(bytestream& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.AppendByte(static_cast<uint8_t>((value >> shift) & 0xFF));
  }
}

const Msd& MsdOf(const DeclaredSubrecord& subrecord) { return static_cast<const Msd&>(subrecord); }

// A position in degrees; none when undefined.
template <Place kPlace>
double DegreesOf(const DeclaredSubrecord& subrecord) {
  const auto position = static_cast<int32_t>(subrecord.Value(kPlace));
  if (position == Msd::kUndefinedPosition) return kNoValue;
  return position / kMilliarcsecondsPerDegree;
}

// A recent position in degrees: the position moved by its deltas, in units
// of 100 milliarcseconds, summed like 32-bit signed numbers (in 64 bits, so
// that a sum out of range is no undefined behaviour). None when the
// position or one of the deltas is undefined.
template <Place kBase, Place... kDeltas>
double RecentDegreesOf(const DeclaredSubrecord& subrecord) {
  const auto base = static_cast<int32_t>(subrecord.Value(kBase));
  const int16_t deltas[] = {subrecord.Present(kDeltas)
                                ? static_cast<int16_t>(subrecord.Value(kDeltas))
                                : Msd::kUndefinedDelta...};
  if (base == Msd::kUndefinedPosition) return kNoValue;
  int64_t sum = base;
  for (const int16_t delta : deltas) {
    if (delta == Msd::kUndefinedDelta) return kNoValue;
    sum += 100 * int64_t{delta};
  }
  return static_cast<int32_t>(static_cast<uint32_t>(sum)) / kMilliarcsecondsPerDegree;
}

double HeadingOf(const DeclaredSubrecord& subrecord) {
  const uint8_t direction = MsdOf(subrecord).VehicleDirection();
  return direction == Msd::kUndefinedDirection ? kNoValue : direction * 2.0;
}

double PassengersOf(const DeclaredSubrecord& subrecord) {
  const uint8_t passengers = MsdOf(subrecord).NumberOfPassengers();
  return passengers == Msd::kUndefinedPassengers ? kNoValue : passengers;
}

template <Place kPlace>
std::string PositionShown(const DeclaredSubrecord& subrecord, uint32_t value) {
  const double degrees = DegreesOf<kPlace>(subrecord);
  if (std::isnan(degrees)) return StringPrintf("0x%.8X (undefined)", value);
  return StringPrintf("0x%.8X (%.8lf)", value, degrees);
}

// A delta's line: the recent position it leads to (the worked-out field
// after it), or its raw bits where that is undefined.
template <double (*kRecentDegrees)(const DeclaredSubrecord&)>
std::string DeltaShown(const DeclaredSubrecord& subrecord, uint32_t value) {
  const double degrees = kRecentDegrees(subrecord);
  if (std::isnan(degrees)) return StringPrintf("0x%.4X  (undefined)", value);
  return StringPrintf("%d (%.8lf)", static_cast<int>(static_cast<int16_t>(value)), degrees);
}

std::string UndefinedAt255(uint32_t shown, uint32_t value) {
  return StringPrintf("%u%s", shown, value == 255 ? " (undefined)" : "");
}

const char* VehicleTypeOf(uint32_t value) { return VehicleTypeName(static_cast<uint8_t>(value)); }

std::string PropulsionShown(const DeclaredSubrecord& subrecord, uint32_t value);

constexpr const char* kActivationTypes[] = {"manual", "automatic"};
constexpr const char* kCallTypes[] = {"emergency", "test"};
// By bit; the report joins them from bit 5 down.
constexpr const char* kPropulsionKinds[] = {
    "petrol", "diesel", "CNG", "LPG", "electric >42V and 100Ah", "hydrogen"};

// The worked-out positions are functions of their own: a declaration
// compares its functions with null when compiled, which sanitizer builds
// cannot do with a template's.
double LatitudeOf(const DeclaredSubrecord& s) { return DegreesOf<Place::kPositionLatitude>(s); }
double LongitudeOf(const DeclaredSubrecord& s) { return DegreesOf<Place::kPositionLongitude>(s); }
double LatitudeN1Of(const DeclaredSubrecord& s) {
  return RecentDegreesOf<Place::kPositionLatitude, Place::kLATD_n1>(s);
}
double LongitudeN1Of(const DeclaredSubrecord& s) {
  return RecentDegreesOf<Place::kPositionLongitude, Place::kLOND_n1>(s);
}
double LatitudeN2Of(const DeclaredSubrecord& s) {
  return RecentDegreesOf<Place::kPositionLatitude, Place::kLATD_n1, Place::kLATD_n2>(s);
}
double LongitudeN2Of(const DeclaredSubrecord& s) {
  return RecentDegreesOf<Place::kPositionLongitude, Place::kLOND_n1, Place::kLOND_n2>(s);
}

// A worked-out value of the tail: there with the field before it.
constexpr DeclaredField TailWorkedOut(const char* name, double (*workOut)(const DeclaredSubrecord&),
                                      uint8_t decimals) {
  return {.name = name,
          .width = 0,
          .shown = Shown::kWorkedOut,
          .decimals = decimals,
          .workOut = workOut,
          .nullName = true,
          .presentIn = DeclaredField::kWhenBytesLeft};
}

constexpr DeclaredField Delta(const char* name, const char* label,
                              std::string (*shownText)(const DeclaredSubrecord&, uint32_t)) {
  return {.name = name,
          .label = label,
          .width = 2,
          .shown = Shown::kSigned,
          .shownText = shownText,
          .presentIn = DeclaredField::kWhenBytesLeft};
}

// The flags' lines stand five further in than the others, and their "-"
// three further.
constexpr DeclaredField kFields[] = {
    {.name = "FORMAT_VERSION", .label = "Format Version"},
    {.name = "MESSAGE_IDENTIFIER", .label = "Message Identifier"},
    {.name = "CONTROL_FLAGS",
     .label = "Control Flags",
     .shown = Shown::kBits,
     .shownText =
         [](const DeclaredSubrecord&, uint32_t value) {
           return StringPrintf("   %s (0x%.2X)", BitString(value, 8).c_str(), value);
         }},
    {.name = "ACTIVATION_TYPE",
     .label = "     Activation Type     ",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 0,
     .names = kActivationTypes,
     .shownText =
         [](const DeclaredSubrecord&, uint32_t value) {
           return StringPrintf("       %u (%s)", value, kActivationTypes[value]);
         }},
    {.name = "CALL_TYPE",
     .label = "     Call Type           ",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 1,
     .names = kCallTypes,
     .shownText =
         [](const DeclaredSubrecord&, uint32_t value) {
           return StringPrintf("      %u  (%s)", value, kCallTypes[value]);
         }},
    {.name = "POSITION_CONFIDENCE",
     .label = "     Position Confidence ",
     .width = 0,
     .bit = 2,
     .shownText = [](const DeclaredSubrecord&,
                     uint32_t value) { return StringPrintf("     %u", value); }},
    {.name = "VEHICLE_TYPE",
     .label = "     Vehicle Type        ",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 3,
     .bits = 4,
     .nameOf = &VehicleTypeOf,
     .shownText =
         [](const DeclaredSubrecord&, uint32_t value) {
           return StringPrintf(" %s    %s", BitString(value, 4).c_str(), VehicleTypeOf(value));
         }},
    // The report gives the bytes as they came, up to the first zero byte.
    {.name = "VIN",
     .label = "VIN",
     .width = Msd::kVinLength,
     .shown = Shown::kText,
     .shownText = [](const DeclaredSubrecord& subrecord,
                     uint32_t) { return std::string(MsdOf(subrecord).VIN().c_str()); }},
    {.name = "VEH_PROPULSION_STORAGE",
     .label = "Veh Propulsion Storage",
     .shown = Shown::kBitNames,
     .valueName = "propulsion",
     .names = kPropulsionKinds,
     .highBitFirst = true,
     .shownText = &PropulsionShown},
    {.name = "TIME_STAMP",
     .label = "Time Stamp",
     .width = 4,
     .shown = Shown::kUnixTime,
     .valueName = "time"},
    {.name = "POSITION_LATITUDE",
     .label = "Position Latitude",
     .width = 4,
     .shown = Shown::kSigned,
     .shownText = &PositionShown<Place::kPositionLatitude>},
    {.name = "latitude",
     .width = 0,
     .shown = Shown::kWorkedOut,
     .decimals = 8,
     .workOut = &LatitudeOf,
     .nullName = true},
    {.name = "POSITION_LONGITUDE",
     .label = "Position Longitude",
     .width = 4,
     .shown = Shown::kSigned,
     .shownText = &PositionShown<Place::kPositionLongitude>},
    {.name = "longitude",
     .width = 0,
     .shown = Shown::kWorkedOut,
     .decimals = 8,
     .workOut = &LongitudeOf,
     .nullName = true},
    {.name = "VEHICLE_DIRECTION",
     .label = "Vehicle Direction",
     .shownText =
         [](const DeclaredSubrecord&, uint32_t value) {
           return UndefinedAt255(value == Msd::kUndefinedDirection ? value : 2 * value, value);
         }},
    {.name = "heading",
     .width = 0,
     .shown = Shown::kWorkedOut,
     .workOut = &HeadingOf,
     .nullName = true},
    Delta("LATD_N1", "LATD n-1", &DeltaShown<&LatitudeN1Of>),
    TailWorkedOut("latitude_n1", &LatitudeN1Of, 8),
    Delta("LOND_N1", "LOND n-1", &DeltaShown<&LongitudeN1Of>),
    TailWorkedOut("longitude_n1", &LongitudeN1Of, 8),
    Delta("LATD_N2", "LATD n-2", &DeltaShown<&LatitudeN2Of>),
    TailWorkedOut("latitude_n2", &LatitudeN2Of, 8),
    Delta("LOND_N2", "LOND n-2", &DeltaShown<&LongitudeN2Of>),
    TailWorkedOut("longitude_n2", &LongitudeN2Of, 8),
    {.name = "NUMBER_OF_PASSENGERS",
     .label = "Number of Passengers",
     .shownText = [](const DeclaredSubrecord&,
                     uint32_t value) { return UndefinedAt255(value, value); },
     .presentIn = DeclaredField::kWhenBytesLeft},
    TailWorkedOut("passengers", &PassengersOf, 0),
    // The report shows it last, as text (Report).
    {.name = "ADDITIONAL_DATA",
     .shown = Shown::kBytes,
     .valueName = "additional_text",
     .end = TextEnd::kData,
     .presentIn = DeclaredField::kWhenBytesLeft},
};

// The report shows the flags from the highest bit down.
constexpr uint8_t kReportOrder[] = {Place::kFormatVersion,
                                    Place::kMessageIdentifier,
                                    Place::kControlFlags,
                                    Place::kVehicleType,
                                    Place::kPositionConfidence,
                                    Place::kCallType,
                                    Place::kActivationType,
                                    Place::kVIN,
                                    Place::kVehPropulsionStorage,
                                    Place::kTimeStamp,
                                    Place::kPositionLatitude,
                                    Place::kLatitude,
                                    Place::kPositionLongitude,
                                    Place::kLongitude,
                                    Place::kVehicleDirection,
                                    Place::kHeading,
                                    Place::kLATD_n1,
                                    Place::kLatitude_n1,
                                    Place::kLOND_n1,
                                    Place::kLongitude_n1,
                                    Place::kLATD_n2,
                                    Place::kLatitude_n2,
                                    Place::kLOND_n2,
                                    Place::kLongitude_n2,
                                    Place::kNumberOfPassengers,
                                    Place::kPassengers,
                                    Place::kAdditionalData};

constexpr Declaration kDeclaration =
    Declare(kFields, LeftoverCheck::kNone, LengthCheck::kBeforeDependent, WireOrder::kBigEndian,
            kReportOrder);
static_assert(kDeclaration.valid);

std::string PropulsionShown(const DeclaredSubrecord&, uint32_t value) {
  const std::string names = BitNamesText(kFields[Place::kVehPropulsionStorage], value);
  return BitString(value, 8) + " (" + (names.empty() ? "undefined" : names) + ")";
}

}  // namespace

static_assert(std::size(kFields) == Subrecord_ECALL_MSD_DATA::kFieldCount);

const char* VehicleTypeName(uint8_t vehicleType) {
  static const char* const kNames[] = {"undefined",
                                       "passenger car (Class M1)",
                                       "bus (Class M2)",
                                       "bus (Class M3)",
                                       "truck (Class N1)",
                                       "heavy truck (Class N2)",
                                       "heavy truck (Class N3)",
                                       "motorcycle (Class L1e)",
                                       "motorcycle (Class L2e)",
                                       "motorcycle (Class L3e)",
                                       "motorcycle (Class L4e)",
                                       "motorcycle (Class L5e)",
                                       "motorcycle (Class L6e)",
                                       "motorcycle (Class L7e)"};
  return vehicleType < std::size(kNames) ? kNames[vehicleType] : "undefined";
}

Subrecord_ECALL_MSD_DATA::Subrecord_ECALL_MSD_DATA() : DeclaredWith(kDeclaration) {
  for (const Place number : {kFormatVersion, kMessageIdentifier, kVehPropulsionStorage, kTimeStamp,
                             kLatitude, kLongitude, kHeading}) {
    Set(number, 0);
  }
  SetControlFlags(0);
  SetText(kVIN, {});
  SetPositionLatitude(kUndefinedPosition);
  SetPositionLongitude(kUndefinedPosition);
  SetVehicleDirection(kUndefinedDirection);
}

void Subrecord_ECALL_MSD_DATA::SetControlFlags(uint8_t value) {
  Set(kControlFlags, value);
  Set(kActivationType, value & 1u);
  Set(kCallType, (value >> 1) & 1u);
  Set(kPositionConfidence, (value >> 2) & 1u);
  Set(kVehicleType, (value >> 3) & 0x0Fu);
}

uint8_t Subrecord_ECALL_MSD_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kMinLength) return EGTS_PC_INVDATALEN;
  const uint8_t result = DeclaredSubrecord::Decode(srd, srl);
  decodedLength_ = srl;
  return result;
}

uint8_t Subrecord_ECALL_MSD_DATA::Encode(bytestream& out) {
  out.AppendByte(FormatVersion());
  out.AppendByte(MessageIdentifier());
  out.AppendByte(ControlFlags());
  uint8_t vin[kVinLength] = {};
  std::copy_n(VIN().begin(), std::min(VIN().size(), kVinLength), vin);
  out.WriteBlock(vin, static_cast<uint16_t>(kVinLength));
  out.AppendByte(VehPropulsionStorage());
  AppendBigEndian32(out, TimeStamp());
  AppendBigEndian32(out, static_cast<uint32_t>(PositionLatitude()));
  AppendBigEndian32(out, static_cast<uint32_t>(PositionLongitude()));
  out.AppendByte(VehicleDirection());

  // Number of optional fields (deltas, then passengers) to write: up to the
  // last one holding a defined value, or all of them before additional data.
  const std::span<const uint8_t> additional = AdditionalData();
  int optional = 0;
  if (!additional.empty() || NumberOfPassengers() != kUndefinedPassengers) {
    optional = 5;
  } else if (LOND_n2() != kUndefinedDelta) {
    optional = 4;
  } else if (LATD_n2() != kUndefinedDelta) {
    optional = 3;
  } else if (LOND_n1() != kUndefinedDelta) {
    optional = 2;
  } else if (LATD_n1() != kUndefinedDelta) {
    optional = 1;
  }
  const int16_t deltas[] = {LATD_n1(), LOND_n1(), LATD_n2(), LOND_n2()};
  for (int i = 0; i < optional && i < 4; ++i) {
    AppendBigEndian16(out, static_cast<uint16_t>(deltas[i]));
  }
  if (optional == 5) out.AppendByte(NumberOfPassengers());
  if (!additional.empty()) {
    out.WriteBlock(additional.data(),
                   static_cast<uint16_t>(std::min(additional.size(), kMaxAdditionalData)));
  }
  return EGTS_PC_OK;
}

uint16_t Subrecord_ECALL_MSD_DATA::EncodedLength() const {
  if (!AdditionalData().empty()) return static_cast<uint16_t>(43 + AdditionalData().size());
  if (NumberOfPassengers() != kUndefinedPassengers) return 43;
  if (LOND_n2() != kUndefinedDelta) return 42;
  if (LATD_n2() != kUndefinedDelta) return 40;
  if (LOND_n1() != kUndefinedDelta) return 38;
  if (LATD_n1() != kUndefinedDelta) return 36;
  return 34;
}

void Subrecord_ECALL_MSD_DATA::Report(std::string* target) const {
  const std::span<const uint8_t> additional = AdditionalData();
  const auto end = std::find(additional.begin(), additional.end(), uint8_t{0});
  EmitReportPiece(target, ReportText() + std::string(additional.begin(), end), true);
}

}  // namespace EGTS
