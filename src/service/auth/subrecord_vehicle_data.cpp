#include "service/auth/subrecord_vehicle_data.h"

#include <array>
#include <iterator>

#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr uint32_t kClassMask = 0x1F;
constexpr uint32_t kPropulsionBits = 0x3F;

constexpr const char* kClassNames[] = {nullptr, "M1",  "M2",  "M3",  "N1",  "N2",  "N3",
                                       "L1e",   "L2e", "L3e", "L4e", "L5e", "L6e", "L7e"};
constexpr const char* kPropulsionNames[] = {"petrol", "diesel",   "CNG",
                                            "LPG",    "electric", "hydrogen"};

// The vehicle class (bits 0-4 of VHT) names the whole word.
const char* ClassName(uint32_t vht) {
  const uint32_t vehicleClass = vht & kClassMask;
  return vehicleClass < std::size(kClassNames) ? kClassNames[vehicleClass] : nullptr;
}

void CheckClass(uint32_t vht, std::vector<std::string>& checks) {
  const uint32_t vehicleClass = vht & kClassMask;
  if (vehicleClass != 0 && ClassName(vht) == nullptr) {
    checks.push_back(StringPrintf("vehicle class %u of VHT is not known", vehicleClass));
  }
}

// The names of the storages set, joined by ", "; null when none is.
const char* PropulsionName(uint32_t vpst) {
  static const std::array<std::string, 64> kJoined = [] {
    std::array<std::string, 64> joined;
    for (uint32_t bits = 0; bits < joined.size(); ++bits) {
      for (unsigned bit = 0; bit < std::size(kPropulsionNames); ++bit) {
        if (!(bits & (1u << bit))) continue;
        joined[bits] += (joined[bits].empty() ? "" : ", ") + std::string(kPropulsionNames[bit]);
      }
    }
    return joined;
  }();
  const std::string& names = kJoined[vpst & kPropulsionBits];
  return names.empty() ? nullptr : names.c_str();
}

// Eight bits, or all 32 when a higher one is set; then the names.
std::string PropulsionShown(const DeclaredSubrecord&, uint32_t vpst) {
  const char* names = PropulsionName(vpst);
  return BitString(vpst, vpst > 0xFF ? 32 : 8) + "b" +
         (names != nullptr ? std::string(" (") + names + ")" : "");
}

constexpr DeclaredField kFields[] = {
    {.name = "VIN", .label = "VIN", .width = 17, .shown = Shown::kText},
    {.name = "VHT",
     .label = "Vehicle Type",
     .width = 4,
     .shown = Shown::kNamed,
     .nameOf = &ClassName,
     .reserved = ~kClassMask,
     .check = &CheckClass},
    {.name = "VPST",
     .label = "Propulsion Storage",
     .width = 4,
     .shown = Shown::kNamed,
     .nameOf = &PropulsionName,
     .reserved = ~kPropulsionBits,
     .shownText = &PropulsionShown},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_VEHICLE_DATA::kFieldCount);

Subrecord_VEHICLE_DATA::Subrecord_VEHICLE_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_VEHICLE_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
