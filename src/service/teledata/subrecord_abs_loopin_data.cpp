#include "service/teledata/subrecord_abs_loopin_data.h"

#include "service/srd_cursor.h"
#include "service/teledata/loop_state.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField kFields[] = {
    {.name = "LIW", .label = nullptr, .width = 2, .shown = Shown::kHidden},
    {.name = "LIN", .label = "Loop Number", .width = 0, .bit = 4, .bits = 12},
    {.name = "LIS", .label = "Loop State", .width = 0, .shown = Shown::kNamed, .bit = 0,
     .bits = 4, .names = kLoopStateNames, .namedWhat = "loop state"},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ABS_LOOPIN_DATA::kFieldCount);

Subrecord_ABS_LOOPIN_DATA::Subrecord_ABS_LOOPIN_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_LOOPIN_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
