#include "service/firmware/subrecord_service_full_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

constexpr auto kFields = ObjectFields<0>(-1, 0, -1, 0);

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_SERVICE_FULL_DATA::kFieldCount);

Subrecord_SERVICE_FULL_DATA::Subrecord_SERVICE_FULL_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_FULL_DATA::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
