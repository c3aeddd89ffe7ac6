#include "service/auth/subrecord_term_identity.h"

#include "service/srd_cursor.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

constexpr DeclaredField Flag(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .width = 0, .shown = Shown::kFlag, .bit = bit};
}

// A field present with bit `bit` of FLG.
constexpr DeclaredField Flagged(DeclaredField field, uint8_t bit) {
  field.presentIn = Subrecord_TERM_IDENTITY::kFLG;
  field.presentBit = bit;
  return field;
}

constexpr DeclaredField Digits(const char* name, uint8_t length) {
  return {.name = name, .label = name, .width = length, .shown = Shown::kText, .digits = true};
}

std::string TidShown(const DeclaredSubrecord&, uint32_t tid) {
  return tid == 0 ? "0 (terminal not configured)" : std::to_string(tid);
}

std::string NidShown(const DeclaredSubrecord&, uint32_t nid) {
  return StringPrintf("0x%.6X (MCC %u, MNC %u)", nid, (nid >> 10) & 0x3FFu, nid & 0x3FFu);
}

constexpr DeclaredField kFields[] = {
    {.name = "TID", .label = "Terminal ID", .width = 4, .shownText = &TidShown},
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits},
    Flag("MNE", "    MNE", 7),
    Flag("BSE", "    BSE", 6),
    Flag("NIDE", "    NIDE", 5),
    Flag("SSRA", "    SSRA", 4),
    Flag("LNGCE", "    LNGCE", 3),
    Flag("IMSIE", "    IMSIE", 2),
    Flag("IMEIE", "    IMEIE", 1),
    Flag("HDIDE", "    HDIDE", 0),
    Flagged({.name = "HDID", .label = "Home Dispatcher ID", .width = 2}, 0),
    Flagged(Digits("IMEI", 15), 1),
    Flagged(Digits("IMSI", 16), 2),
    Flagged({.name = "LNGC", .label = "Language Code", .width = 3, .shown = Shown::kText}, 3),
    Flagged({.name = "NID",
             .label = "Network ID",
             .width = 3,
             .reserved = 0xF00000,
             .shownText = &NidShown},
            5),
    Flagged({.name = "MCC", .width = 0, .bit = 10, .bits = 10}, 5),
    Flagged({.name = "MNC", .width = 0, .bit = 0, .bits = 10}, 5),
    Flagged({.name = "BS", .label = "Buffer Size", .width = 2}, 6),
    Flagged(Digits("MSISDN", 15), 7),
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kLast);
static_assert(kDeclaration.valid);
static_assert(std::size(kFields) == Subrecord_TERM_IDENTITY::kMSISDN + 1);

}  // namespace

static_assert(std::size(kFields) == Subrecord_TERM_IDENTITY::kFieldCount);

Subrecord_TERM_IDENTITY::Subrecord_TERM_IDENTITY() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_TERM_IDENTITY::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
