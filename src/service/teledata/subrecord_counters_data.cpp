#include "service/teledata/subrecord_counters_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField Counter(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .width = 3, .presentIn = 0, .presentBit = bit};
}

constexpr DeclaredField kFields[] = {
    {.name = "CFE", .label = "Counters Exist", .shown = Shown::kBits},
    Counter("CN1", "Counter 1", 0), Counter("CN2", "Counter 2", 1), Counter("CN3", "Counter 3", 2),
    Counter("CN4", "Counter 4", 3), Counter("CN5", "Counter 5", 4), Counter("CN6", "Counter 6", 5),
    Counter("CN7", "Counter 7", 6), Counter("CN8", "Counter 8", 7),
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_COUNTERS_DATA::kFieldCount);

Subrecord_COUNTERS_DATA::Subrecord_COUNTERS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_COUNTERS_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
