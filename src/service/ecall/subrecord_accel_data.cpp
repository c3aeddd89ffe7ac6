#include "service/ecall/subrecord_accel_data.h"

#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using Place = Subrecord_ACCEL_DATA::Place;
using StructurePlace = Subrecord_ACCEL_DATA::StructurePlace;

constexpr uint16_t kLeastLength = 13;  // SA, ATM and one structure

const char kBadDateTime[] = "ERROR: incorrect DateTime value";

// EGTS time counts from 2010; the 32-bit sum wraps large values to 1970.
uint32_t StartOf(const DeclaredSubrecord& subrecord) {
  return static_cast<uint32_t>(subrecord.Value(Place::kATM) + kEgtsEpochOffset);
}

uint32_t ElapsedMs(const DeclaredSubrecord& subrecord, std::size_t structure) {
  return subrecord.ElementSum(structure, StructurePlace::kRTM);
}

std::string AbsoluteTimeShown(const DeclaredSubrecord& subrecord, uint32_t atm) {
  UtcDateTime dt;
  if (!ToUtcDateTime(StartOf(subrecord), dt)) return StringPrintf("0x%.8X (%s)", atm, kBadDateTime);
  return StringPrintf("0x%.8X (%.2u.%.2u.%.4u %.2u:%.2u:%.2u.000 GMT)", atm, dt.day, dt.month,
                      dt.year, dt.hour, dt.minute, dt.second);
}

double StartMs(const DeclaredSubrecord& subrecord) { return StartOf(subrecord) * 1000.0; }

// The start plus the milliseconds of the structures up to this one.
double StructureMs(const DeclaredSubrecord& subrecord, std::size_t structure) {
  return StartMs(subrecord) + ElapsedMs(subrecord, structure);
}

std::string RelativeTimeShown(const DeclaredSubrecord& subrecord, std::size_t structure,
                              uint32_t rtm) {
  const uint32_t elapsedMs = ElapsedMs(subrecord, structure);
  UtcDateTime dt;
  if (!ToUtcDateTime(static_cast<int64_t>(StartOf(subrecord)) + elapsedMs / 1000, dt)) {
    return StringPrintf("[%.3u ms] (%s)", rtm, kBadDateTime);
  }
  return StringPrintf("[%.3u ms] (%.2u.%.2u.%.4u %.2u:%.2u:%.2u.%.3u GMT)", rtm, dt.day, dt.month,
                      dt.year, dt.hour, dt.minute, dt.second, elapsedMs % 1000);
}

char SignOf(uint32_t axis) { return (axis & 0x8000) ? '-' : ' '; }

double MagnitudeOf(uint32_t axis) { return (axis & 0x7FFF) * 0.1; }

std::string AxisShown(const DeclaredSubrecord&, std::size_t, uint32_t axis) {
  return StringPrintf("0x%.4X %c%.1fm/c2", axis, SignOf(axis), MagnitudeOf(axis));
}

// The signed acceleration the report shows as sign and magnitude; never -0.
template <StructurePlace kAxis>
double Acceleration(const DeclaredSubrecord& subrecord, std::size_t structure) {
  const uint32_t axis = subrecord.ElementValue(structure, kAxis);
  const double magnitude = MagnitudeOf(axis);
  return SignOf(axis) == '-' && magnitude != 0 ? -magnitude : magnitude;
}

double AccelerationX(const DeclaredSubrecord& s, std::size_t k) {
  return Acceleration<StructurePlace::kXAAV>(s, k);
}
double AccelerationY(const DeclaredSubrecord& s, std::size_t k) {
  return Acceleration<StructurePlace::kYAAV>(s, k);
}
double AccelerationZ(const DeclaredSubrecord& s, std::size_t k) {
  return Acceleration<StructurePlace::kZAAV>(s, k);
}

constexpr DeclaredField Axis(const char* name) {
  return {.name = name, .label = name, .width = 2, .shownAt = &AxisShown};
}

constexpr DeclaredField Acceleration(const char* name,
                                     double (*workOutAt)(const DeclaredSubrecord&, std::size_t)) {
  return {
      .name = name, .width = 0, .shown = Shown::kWorkedOut, .decimals = 1, .workOutAt = workOutAt};
}

constexpr DeclaredField kStructureFields[] = {
    {.name = "RTM", .label = "Relative Time", .width = 2, .shownAt = &RelativeTimeShown},
    {.name = "time",
     .width = 0,
     .shown = Shown::kWorkedTime,
     .decimals = 3,
     .workOutAt = &StructureMs},
    Axis("XAAV"),
    Axis("YAAV"),
    Axis("ZAAV"),
    Acceleration("x_ms2", &AccelerationX),
    Acceleration("y_ms2", &AccelerationY),
    Acceleration("z_ms2", &AccelerationZ),
};

constexpr Declaration kStructure = Declare(kStructureFields);
static_assert(kStructure.valid);

constexpr DeclaredField kFields[] = {
    {.name = "SA", .label = "Structures Amount"},
    {.name = "ATM",
     .label = "Absolute Time",
     .width = 4,
     .shown = Shown::kEgtsTime,
     .shownText = &AbsoluteTimeShown},
    {.name = "time", .width = 0, .shown = Shown::kWorkedTime, .workOut = &StartMs},
    {.name = "ADS",
     .label = "Accelerometr Data Structures",
     .shown = Shown::kElements,
     .lengthIn = Place::kSA,
     .element = &kStructure,
     .closing = "\n           ------------------\n"},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ACCEL_DATA::kFieldCount);

Subrecord_ACCEL_DATA::Subrecord_ACCEL_DATA() : DeclaredWithElements(kDeclaration) {
  for (std::size_t place = 0; place < kFieldCount; ++place) Set(place, 0);
}

uint8_t Subrecord_ACCEL_DATA::Encode(bytestream& out) {
  out.Reset();
  Set(kSA, static_cast<uint8_t>(StructureCount()));
  if (SA() == 0) return EGTS_PC_NOTEN_PARAMS;
  return DeclaredWithElements::Encode(out);
}

uint8_t Subrecord_ACCEL_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kLeastLength) return EGTS_PC_INVDATALEN;
  const uint8_t result = DeclaredWithElements::Decode(srd, srl);
  if (SA() == 0) return EGTS_PC_INC_DATAFORM;
  return result;
}

Subrecord_ACCEL_DATA::Structure Subrecord_ACCEL_DATA::StructureAt(std::size_t index) const {
  return {static_cast<uint16_t>(ElementValue(index, kRTM)),
          static_cast<uint16_t>(ElementValue(index, kXAAV)),
          static_cast<uint16_t>(ElementValue(index, kYAAV)),
          static_cast<uint16_t>(ElementValue(index, kZAAV))};
}

std::vector<Subrecord_ACCEL_DATA::Structure> Subrecord_ACCEL_DATA::Structures() const {
  std::vector<Structure> structures;
  for (std::size_t k = 0; k < StructureCount(); ++k) structures.push_back(StructureAt(k));
  return structures;
}

void Subrecord_ACCEL_DATA::AddStructure(const Structure& structure) {
  const std::size_t k = AddElement();
  for (std::size_t place = 0; place < kStructure.fields.size(); ++place) SetElement(k, place, 0);
  SetElement(k, kRTM, structure.RTM);
  SetElement(k, kXAAV, structure.XAAV);
  SetElement(k, kYAAV, structure.YAAV);
  SetElement(k, kZAAV, structure.ZAAV);
}

}  // namespace EGTS
