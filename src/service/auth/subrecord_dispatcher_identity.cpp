#include "service/auth/subrecord_dispatcher_identity.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField kFields[] = {
    {.name = "DT", .label = "Dispatcher Type"},
    {.name = "DID", .label = "Dispatcher ID", .width = 4},
    {.name = "DSCR",
     .label = "Description",
     .width = 0,
     .shown = Shown::kText,
     .end = DeclaredField::TextEnd::kData,
     .maxLength = 255},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_DISPATCHER_IDENTITY::kFieldCount);

Subrecord_DISPATCHER_IDENTITY::Subrecord_DISPATCHER_IDENTITY() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_DISPATCHER_IDENTITY::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
