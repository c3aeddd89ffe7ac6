#include "service/teledata/subrecord_abs_cntr_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

constexpr DeclaredField kFields[] = {
    {.name = "CN", .label = "Counter Number"},
    {.name = "CNV", .label = "Counter Value", .width = 3},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ABS_CNTR_DATA::kFieldCount);

Subrecord_ABS_CNTR_DATA::Subrecord_ABS_CNTR_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_CNTR_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
