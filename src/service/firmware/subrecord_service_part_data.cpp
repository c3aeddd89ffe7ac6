#include "service/firmware/subrecord_service_part_data.h"

#include "service/srd_cursor.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Place = Subrecord_SERVICE_PART_DATA::Place;

// Bit v: a value v of the field that decides.
constexpr uint32_t kFirstPart = 1u << 1;  // PN 1: the header comes first
constexpr uint32_t kOnlyPart = 1u << 1;   // EPQ 1 (in the first part): the whole object

void CheckPartNumbers(const DeclaredSubrecord& part, std::vector<std::string>& checks) {
  const uint32_t pn = part.Value(Place::kPN);
  const uint32_t epq = part.Value(Place::kEPQ);
  if (epq == 0) checks.push_back("EPQ 0 is not a number of parts");
  if (pn == 0 || (epq != 0 && pn > epq)) {
    checks.push_back(StringPrintf("PN %u is outside 1..EPQ (%u)", pn, epq));
  }
}

constexpr std::array<DeclaredField, 3> kPartFields = {{
    {.name = "ID", .label = "Object ID", .width = 2},
    {.name = "PN", .label = "Part Number", .width = 2},
    {.name = "EPQ", .label = "Expected Parts", .width = 2, .checkWith = CheckPartNumbers},
}};

constexpr auto kFields = Joined(
    kPartFields, ObjectFields<Place::kObject>(Place::kPN, kFirstPart, Place::kEPQ, kOnlyPart));

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);
static_assert(std::string_view(kFields[Place::kObject + ObjectPlace::kOD].name) == "OD");

}  // namespace

static_assert(std::size(kFields) == Subrecord_SERVICE_PART_DATA::kFieldCount);

Subrecord_SERVICE_PART_DATA::Subrecord_SERVICE_PART_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_PART_DATA::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
