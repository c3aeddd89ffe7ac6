#include "service/auth/subrecord_module_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;

constexpr const char* kModuleTypes[] = {nullptr, "main", "input/output", "navigation", "radio"};

constexpr DeclaredField kFields[] = {
    {.name = "MT", .label = "Module Type", .shown = Shown::kNamed, .names = kModuleTypes},
    {.name = "VID", .label = "Vendor ID", .width = 4},
    {.name = "FWV", .label = "Firmware Version", .width = 2, .shown = Shown::kVersion},
    {.name = "SWV", .label = "Software Version", .width = 2, .shown = Shown::kVersion},
    {.name = "MD", .label = "Modification"},
    {.name = "ST",
     .label = "State",
     .shown = Shown::kNamed,
     .nameOf = [](uint32_t st) { return ModuleStateName(static_cast<uint8_t>(st)); },
     .namedWhat = "module state"},
    {.name = "SRN",
     .label = "Serial Number",
     .width = 0,
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .maxLength = 32},
    {.name = "DSCR",
     .label = "Description",
     .width = 0,
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .maxLength = 32},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

const char* ModuleStateName(uint8_t st) {
  if (st == 0) return "off";
  if (st == 1) return "on";
  return st > 127 ? "fault" : nullptr;
}

static_assert(std::size(kFields) == Subrecord_MODULE_DATA::kFieldCount);

Subrecord_MODULE_DATA::Subrecord_MODULE_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_MODULE_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
