#include "service/teledata/subrecord_passengers_counters.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr int8_t kFlags = 0;
constexpr int8_t kDoorsCounted = 2;

// A door's count, there when DPR counts the door and RDF is clear.
constexpr DeclaredField Count(const char* name, const char* label, uint8_t door) {
  return {.name = name,
          .label = label,
          .presentIn = kDoorsCounted,
          .presentBit = door,
          .absentIn = kFlags,
          .absentBit = 0};
}

constexpr DeclaredField kFields[] = {
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits, .reserved = 0xFE},
    {.name = "RDF", .label = "  Raw Data", .width = 0, .bit = 0, .bits = 1},
    {.name = "DPR", .label = "Doors Counted", .shown = Shown::kBits},
    {.name = "DRL", .label = "Doors Opened", .shown = Shown::kBits},
    {.name = "MADDR", .label = "Module Address", .width = 2},
    {.name = "PCD",
     .label = "Counters Data",
     .width = 0,
     .shown = Shown::kBytes,
     .end = DeclaredField::TextEnd::kData,
     .minLength = 2,
     .maxLength = 512,
     .presentIn = kFlags,
     .presentBit = 0},
    Count("IPQ1", "Door 1 In", 0),
    Count("OPQ1", "Door 1 Out", 0),
    Count("IPQ2", "Door 2 In", 1),
    Count("OPQ2", "Door 2 Out", 1),
    Count("IPQ3", "Door 3 In", 2),
    Count("OPQ3", "Door 3 Out", 2),
    Count("IPQ4", "Door 4 In", 3),
    Count("OPQ4", "Door 4 Out", 3),
    Count("IPQ5", "Door 5 In", 4),
    Count("OPQ5", "Door 5 Out", 4),
    Count("IPQ6", "Door 6 In", 5),
    Count("OPQ6", "Door 6 Out", 5),
    Count("IPQ7", "Door 7 In", 6),
    Count("OPQ7", "Door 7 Out", 6),
    Count("IPQ8", "Door 8 In", 7),
    Count("OPQ8", "Door 8 Out", 7),
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_PASSENGERS_COUNTERS::kFieldCount);

Subrecord_PASSENGERS_COUNTERS::Subrecord_PASSENGERS_COUNTERS() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_PASSENGERS_COUNTERS::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
