#include "service/common/subrecord_record_response.h"

#include <string_view>

#include "transport/result_codes.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField kFields[] = {
    {.name = "CRN", .label = "Confirmed Record Number", .tightLabel = true, .width = 2},
    {.name = "RST",
     .label = "Record Status",
     .shown = Shown::kNamed,
     .nameOf = [](uint32_t rst) { return ResultCodeText(rst); },
     .suffix = "_text"},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);
static_assert(std::string_view(kFields[Subrecord_RECORD_RESPONSE::kCRN].name) == "CRN");
static_assert(std::string_view(kFields[Subrecord_RECORD_RESPONSE::kRST].name) == "RST");

}  // namespace

static_assert(std::size(kFields) == Subrecord_RECORD_RESPONSE::kFieldCount);

Subrecord_RECORD_RESPONSE::Subrecord_RECORD_RESPONSE() : DeclaredWith(kDeclaration) {}

}  // namespace EGTS
