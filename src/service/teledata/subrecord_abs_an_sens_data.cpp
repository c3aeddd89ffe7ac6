#include "service/teledata/subrecord_abs_an_sens_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

constexpr DeclaredField kFields[] = {
    {.name = "ASN", .label = "Sensor Number"},
    {.name = "ASV", .label = "Sensor Value", .width = 3},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ABS_AN_SENS_DATA::kFieldCount);

Subrecord_ABS_AN_SENS_DATA::Subrecord_ABS_AN_SENS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_AN_SENS_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
