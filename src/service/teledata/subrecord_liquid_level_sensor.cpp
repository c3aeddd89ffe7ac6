#include "service/teledata/subrecord_liquid_level_sensor.h"

#include "service/srd_cursor.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr int8_t kFlags = 0;
constexpr int8_t kUnit = 2;
constexpr uint8_t kRawData = 3;  // the bit of RDF in FLG
constexpr uint32_t kUndefinedUnit = 3;

constexpr const char* kUnitNames[] = {"raw value", "per cent of the tank", "litres in 0.1 l"};

std::string UnitShown(const DeclaredSubrecord&, uint32_t unit) {
  const std::string bits = BitString(unit, 2) + "b";
  return unit < kUndefinedUnit ? bits + " (" + kUnitNames[unit] + ")" : bits;
}

void CheckUnit(uint32_t unit, std::vector<std::string>& checks) {
  if (unit == kUndefinedUnit) checks.push_back("LLSVU 11 is not a defined unit");
}

// The level as a number, shown in the unit LLSVU gives (`units`: bit u for
// unit u), when RDF is clear.
constexpr DeclaredField Level(Shown shown, uint32_t units, uint8_t decimals = 0,
                              const char* unit = nullptr, const char* valueName = nullptr) {
  return {.name = "LLSD",
          .label = "Level",
          .width = 4,
          .shown = shown,
          .decimals = decimals,
          .unit = unit,
          .valueName = valueName,
          .presentIn = kUnit,
          .presentValues = units,
          .absentIn = kFlags,
          .absentBit = kRawData};
}

constexpr DeclaredField kFields[] = {
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits, .reserved = 0x80},
    {.name = "LLSEF", .label = "  Sensor Error", .width = 0, .shown = Shown::kFlag, .bit = 6},
    {.name = "LLSVU",
     .label = "  Value Unit",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 4,
     .bits = 2,
     .names = kUnitNames,
     .shownText = &UnitShown,
     .check = &CheckUnit},
    {.name = "RDF", .label = "  Raw Data", .width = 0, .shown = Shown::kFlag, .bit = kRawData},
    {.name = "LLSN", .label = "  Sensor Number", .width = 0, .bit = 0, .bits = 3},
    {.name = "MADDR", .label = "Module Address", .width = 2},
    {.name = "LLSD",
     .label = "Sensor Data",
     .width = 0,
     .shown = Shown::kBytes,
     .end = DeclaredField::TextEnd::kData,
     .emptyCheck = "RDF is set but no raw data follows",
     .presentIn = kFlags,
     .presentBit = kRawData},
    Level(Shown::kDecimal, 1u << 0 | 1u << kUndefinedUnit),
    Level(Shown::kScaled, 1u << 1, 0, "%", "level_percent"),
    Level(Shown::kScaled, 1u << 2, 1, "l", "level_l"),
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kFirst, LengthCheck::kAtEnd);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_LIQUID_LEVEL_SENSOR::kFieldCount);

Subrecord_LIQUID_LEVEL_SENSOR::Subrecord_LIQUID_LEVEL_SENSOR() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_LIQUID_LEVEL_SENSOR::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
