#include "service/auth/subrecord_srv_identity.h"

#include <cstring>

#include "service/subrecord_table.h"
#include "service/value_text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr const char* kUnspecified = "unspecified";

constexpr DeclaredField kFields[] = {
    // A service without a name is "unspecified" in the report, null in JSON.
    {.name = "ST",
     .label = "Service Type",
     .shown = Shown::kNamed,
     .nameOf =
         [](uint32_t st) {
           const char* name = ServiceTypeName(static_cast<uint16_t>(st));
           return std::strcmp(name, kUnspecified) == 0 ? nullptr : name;
         },
     .nullName = true,
     .shownText =
         [](const DeclaredSubrecord&, uint32_t st) {
           return CodeText(st, ServiceTypeName(static_cast<uint16_t>(st)));
         }},
    {.name = "SRVP", .label = "Service Paramemters"},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_SRV_IDENTITY::kFieldCount);

Subrecord_SRV_IDENTITY::Subrecord_SRV_IDENTITY() : DeclaredWith(kDeclaration) {}

}  // namespace EGTS
