#include "service/teledata/subrecord_loopin_data.h"

#include "service/srd_cursor.h"
#include "service/teledata/loop_state.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

// The state of loop `bit`+1: there when LIFE reports it.
constexpr DeclaredField LoopState(const char* name, const char* label, uint8_t bit) {
  return {.name = name,
          .label = label,
          .width = 0,
          .shown = Shown::kNamed,
          .names = kLoopStateNames,
          .namedWhat = "loop state",
          .halfByte = true,
          .byteName = "the last loop state byte",
          .presentIn = 0,
          .presentBit = bit};
}

constexpr DeclaredField kFields[] = {
    {.name = "LIFE", .label = "Loops Reported", .shown = Shown::kBits},
    LoopState("LIS1", "Loop 1", 0),
    LoopState("LIS2", "Loop 2", 1),
    LoopState("LIS3", "Loop 3", 2),
    LoopState("LIS4", "Loop 4", 3),
    LoopState("LIS5", "Loop 5", 4),
    LoopState("LIS6", "Loop 6", 5),
    LoopState("LIS7", "Loop 7", 6),
    LoopState("LIS8", "Loop 8", 7),
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_LOOPIN_DATA::kFieldCount);

Subrecord_LOOPIN_DATA::Subrecord_LOOPIN_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_LOOPIN_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
