#include "service/auth/subrecord_auth_result_code.h"

#include "transport/result_codes.h"

namespace EGTS {

namespace {

constexpr DeclaredField kFields[] = {
    {.name = "RCD",
     .label = "Result Code",
     .shown = DeclaredField::Shown::kNamed,
     .nameOf = [](uint32_t rcd) { return ResultCodeText(rcd); },
     .suffix = "_text"},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_AUTH_RESULT_CODE::kFieldCount);

Subrecord_AUTH_RESULT_CODE::Subrecord_AUTH_RESULT_CODE() : DeclaredWith(kDeclaration) {}

}  // namespace EGTS
