#include "service/auth/subrecord_auth_params.h"

#include "service/srd_cursor.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;

constexpr int8_t kFlags = 0;
constexpr int8_t kKeyLength = 7;

constexpr DeclaredField Flag(const char* name, const char* label, uint8_t bit) {
  return {.name = name, .label = label, .width = 0, .shown = Shown::kFlag, .bit = bit};
}

// A number there when its flag is set.
constexpr DeclaredField Flagged(const char* name, const char* label, uint8_t flag) {
  return {.name = name, .label = label, .width = 2, .presentIn = kFlags, .presentBit = flag};
}

// A string ended by its NUL, there when its flag is set: that NUL at least.
constexpr DeclaredField FlaggedString(const char* name, const char* label, uint8_t flag) {
  return {.name = name,
          .label = label,
          .width = 0,
          .shown = Shown::kText,
          .end = TextEnd::kNul,
          .minLength = 1,
          .presentIn = kFlags,
          .presentBit = flag};
}

constexpr DeclaredField kFields[] = {
    {.name = "FLG", .label = "Flags", .shown = Shown::kBits, .reserved = 0x80},
    Flag("EXE", "    EXE", 6),
    Flag("SSE", "    SSE", 5),
    Flag("MSE", "    MSE", 4),
    Flag("ISLE", "    ISLE", 3),
    Flag("PKE", "    PKE", 2),
    {.name = "ENA", .label = "    ENA", .width = 0, .shown = Shown::kBits, .bit = 0, .bits = 2},
    Flagged("PKL", "Public Key Length", 2),
    {.name = "PBK",
     .label = "Public Key",
     .width = 0,
     .shown = Shown::kBytes,
     .end = TextEnd::kLengthIn,
     .lengthIn = kKeyLength,
     .presentIn = kFlags,
     .presentBit = 2},
    Flagged("ISL", "Identity String Length", 3),
    Flagged("MSZ", "Modulus Size", 4),
    FlaggedString("SS", "Server Sequence", 5),
    FlaggedString("EXP", "Exponent", 6),
};

// The key's length is inside the data: the length is known once all is read.
constexpr Declaration kDeclaration =
    Declare(kFields, LeftoverCheck::kLast, LengthCheck::kAtEndAfterWhole);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_AUTH_PARAMS::kFieldCount);

Subrecord_AUTH_PARAMS::Subrecord_AUTH_PARAMS() : DeclaredWith(kDeclaration) {}

std::unique_ptr<Subrecord_Class> Subrecord_AUTH_PARAMS::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
