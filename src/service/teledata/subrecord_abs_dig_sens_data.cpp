#include "service/teledata/subrecord_abs_dig_sens_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField kFields[] = {
    {.name = "DSW", .label = nullptr, .width = 2, .shown = Shown::kHidden},
    {.name = "DSN", .label = "Sensor Number", .width = 0, .bit = 4, .bits = 12},
    {.name = "DSST", .label = "Sensor State", .width = 0, .shown = Shown::kBits, .bit = 0,
     .bits = 4},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ABS_DIG_SENS_DATA::kFieldCount);

Subrecord_ABS_DIG_SENS_DATA::Subrecord_ABS_DIG_SENS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_DIG_SENS_DATA::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
