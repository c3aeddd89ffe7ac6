#include "service/teledata/subrecord_ext_pos_data.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr const char* kSystemNames[] = {"GLONASS", "GPS",   "Galileo", "Compass",
                                        "Beidou",  "DORIS", "IRNSS",   "QZSS"};

// A dilution * 100, shown with two decimals; present with bit `bit` of FLG.
constexpr DeclaredField Dilution(const char* name, const char* decoded, uint8_t bit) {
  return {.name = name, .label = name, .width = 2, .shown = Shown::kScaled, .decimals = 2,
          .valueName = decoded, .presentIn = 0, .presentBit = bit};
}

constexpr DeclaredField kFields[] = {
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits, .reserved = 0xE0},
    {.name = "NSFE", .label = "  NS Exists", .width = 0, .shown = Shown::kFlag, .bit = 4},
    {.name = "SFE", .label = "  SAT Exists", .width = 0, .shown = Shown::kFlag, .bit = 3},
    {.name = "PFE", .label = "  PDOP Exists", .width = 0, .shown = Shown::kFlag, .bit = 2},
    {.name = "HFE", .label = "  HDOP Exists", .width = 0, .shown = Shown::kFlag, .bit = 1},
    {.name = "VFE", .label = "  VDOP Exists", .width = 0, .shown = Shown::kFlag, .bit = 0},
    Dilution("VDOP", "vdop", 0),
    Dilution("HDOP", "hdop", 1),
    Dilution("PDOP", "pdop", 2),
    {.name = "SAT", .label = "Satellites", .presentIn = 0, .presentBit = 3},
    {.name = "NS", .label = "Navigation Systems", .width = 2, .shown = Shown::kBitNames,
     .names = kSystemNames, .reserved = 0xFF00, .presentIn = 0, .presentBit = 4},
};

constexpr Declaration kDeclaration = Declare(kFields);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_EXT_POS_DATA::kFieldCount);

Subrecord_EXT_POS_DATA::Subrecord_EXT_POS_DATA() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_EXT_POS_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
