#include "service/auth/subrecord_auth_info.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;

constexpr DeclaredField kFields[] = {
    {.name = "UNM",
     .label = "User Name",
     .width = 0,
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .maxLength = 32},
    {.name = "UPSW",
     .label = "User Password",
     .width = 0,
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .maxLength = 32},
    {.name = "SS",
     .label = "Server Sequence",
     .width = 0,
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .presentIn = DeclaredField::kWhenBytesLeft},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_AUTH_INFO::kFieldCount);

Subrecord_AUTH_INFO::Subrecord_AUTH_INFO() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_AUTH_INFO::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
