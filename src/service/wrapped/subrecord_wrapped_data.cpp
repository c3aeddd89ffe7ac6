#include "service/wrapped/subrecord_wrapped_data.h"

#include <cstring>
#include <new>

#include "transport/result_codes.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;

constexpr size_t kMaxPhoneChars = 24;

constexpr DeclaredField kFields[] = {
    {.name = "FLAGS", .label = "Flags"},
    // The report shows the number's bytes as they came, quoted.
    {.name = "PHONE_NUMBER",
     .label = "Phone Number",
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .shownText =
         [](const DeclaredSubrecord& subrecord, uint32_t) {
           // Built by appending: GCC 12 takes "'" + std::string for an overlap.
           std::string quoted(1, '\'');
           quoted += subrecord.Text(Subrecord_WRAPPED_DATA::kPhoneNumber).c_str();
           quoted += '\'';
           return quoted;
         }},
    {.name = "DATA",
     .label = "Data Length",
     .shown = Shown::kBytes,
     .end = TextEnd::kData,
     .shownText =
         [](const DeclaredSubrecord& subrecord, uint32_t) {
           return std::to_string(subrecord.Bytes(Subrecord_WRAPPED_DATA::kData).size());
         },
     .shared = true},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_WRAPPED_DATA::kFieldCount);

Subrecord_WRAPPED_DATA::Subrecord_WRAPPED_DATA() : DeclaredWith(kDeclaration) {
  Set(kFlags, 0);
  SetText(kPhoneNumber, std::string());
  Set(kData, 0);
}

uint8_t Subrecord_WRAPPED_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < 2) return EGTS_PC_INVDATALEN;
  // The phone number ends at the first zero byte within SRD.
  const void* zero = std::memchr(srd + 1, 0, srl - 1u);
  if (zero == nullptr) return EGTS_PC_INVDATALEN;
  if (static_cast<const uint8_t*>(zero) - (srd + 1) > static_cast<std::ptrdiff_t>(kMaxPhoneChars)) {
    return EGTS_PC_INVDATALEN;
  }
  try {
    return DeclaredSubrecord::Decode(srd, srl);
  } catch (const std::bad_alloc&) {
    data.reset();
    return EGTS_PC_INVDATALEN;
  }
}

}  // namespace EGTS
