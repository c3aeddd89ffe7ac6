#include "service/auth/subrecord_service_info.h"

#include "service/srd_cursor.h"
#include "service/subrecord_table.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

const struct {
  uint8_t sst;
  const char* name;
} kServiceStates[] = {
    {0, "in service"},       {128, "out of service"},          {129, "denied"},
    {130, "not configured"}, {131, "temporarily unavailable"},
};

constexpr const char* kRequestNames[] = {"supported", "requested"};

constexpr DeclaredField kFields[] = {
    {.name = "ST",
     .label = "Service Type",
     .shown = Shown::kNamed,
     .nameOf = [](uint32_t st) { return ServiceTypeName(static_cast<uint16_t>(st)); }},
    {.name = "SST",
     .label = "Service State",
     .shown = Shown::kNamed,
     .nameOf = [](uint32_t sst) { return ServiceStateName(static_cast<uint8_t>(sst)); },
     .namedWhat = "service state"},
    {.name = "SRVP", .label = "Service Parameters", .shown = Shown::kBits, .reserved = 0x7C},
    {.name = "SRVA",
     .label = "    SRVA",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 7,
     .names = kRequestNames,
     .jsonName = false},
    {.name = "SRVRP", .label = "    SRVRP", .width = 0, .bit = 0, .bits = 2},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);

}  // namespace

const char* ServiceStateName(uint8_t sst) {
  for (const auto& row : kServiceStates) {
    if (row.sst == sst) return row.name;
  }
  return nullptr;
}

static_assert(std::size(kFields) == Subrecord_SERVICE_INFO::kFieldCount);

Subrecord_SERVICE_INFO::Subrecord_SERVICE_INFO() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_INFO::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
