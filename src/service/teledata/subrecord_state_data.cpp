#include "service/teledata/subrecord_state_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr const char* kStateNames[] = {
    "passive", "ERA",         "active",          "emergency call", "emergency tracking",
    "testing", "car service", "firmware loading"};

constexpr DeclaredField kFields[] = {
    {.name = "ST", .label = "State", .shown = Shown::kNamed, .names = kStateNames,
     .namedWhat = "terminal state"},
    {.name = "MPSV", .label = "Main Supply", .shown = Shown::kScaled, .decimals = 1, .unit = "V",
     .valueName = "main_voltage_v"},
    {.name = "BBV", .label = "Backup Battery", .shown = Shown::kScaled, .decimals = 1, .unit = "V",
     .valueName = "backup_battery_voltage_v"},
    {.name = "IBV", .label = "Internal Battery", .shown = Shown::kScaled, .decimals = 1,
     .unit = "V", .valueName = "internal_battery_voltage_v"},
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits, .reserved = 0xF8},
    {.name = "NMS", .label = "  Navigation On", .width = 0, .shown = Shown::kFlag, .bit = 2},
    {.name = "IBU", .label = "  External Backup Used", .width = 0, .shown = Shown::kFlag, .bit = 1},
    {.name = "BBU", .label = "  Internal Battery Used", .width = 0, .shown = Shown::kFlag, .bit = 0},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_STATE_DATA::kFieldCount);

Subrecord_STATE_DATA::Subrecord_STATE_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_STATE_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
