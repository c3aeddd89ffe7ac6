#include "service/logger/subrecord_logger_data.h"

#include <cstring>
#include <new>

#include "transport/result_codes.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;
using Place = Subrecord_LOGGER_DATA::Place;

constexpr uint16_t kHeadLength = 13;
constexpr uint16_t kFewestBytes = 17;

// A text as the report shows it: its bytes as they came, quoted.
template <Place kPlace>
std::string QuotedAsSent(const DeclaredSubrecord& subrecord, uint32_t) {
  // Built by appending: GCC 12 takes "'" + std::string for an overlap.
  std::string quoted(1, '\'');
  quoted += subrecord.Text(kPlace).c_str();
  quoted += '\'';
  return quoted;
}

constexpr DeclaredField kFields[] = {
    {.name = "FLAGS", .label = "Flags"},
    {.name = "VALUE1", .width = 4},
    {.name = "VALUE2", .width = 2},
    {.name = "TYPE", .label = "Type", .shown = Shown::kChar},
    {.name = "VALUE3"},
    {.name = "VALUE4", .width = 4},
    {.name = "COMPONENT_NAME",
     .label = "Component Name",
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .shownText = &QuotedAsSent<Place::kComponentName>},
    {.name = "MODULE_NAME",
     .label = "Module Name",
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .shownText = &QuotedAsSent<Place::kModuleName>,
     .presentIn = DeclaredField::kWhenBytesLeft},
    {.name = "PHONE_NUMBER",
     .label = "Phone Number",
     .shown = Shown::kText,
     .end = TextEnd::kNul,
     .shownText = &QuotedAsSent<Place::kPhoneNumber>,
     .presentIn = DeclaredField::kWhenBytesLeft},
    // The report gives the stream's length, its zero byte counted.
    {.name = "DATA",
     .label = "Data Length",
     .shown = Shown::kBytes,
     .nullName = true,
     .end = TextEnd::kData,
     .shownText =
         [](const DeclaredSubrecord& subrecord, uint32_t) {
           return std::to_string(subrecord.Bytes(Subrecord_LOGGER_DATA::kData).size());
         },
     .shared = true,
     .streamNul = true,
     .presentIn = DeclaredField::kWhenBytesLeft},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

// The texts after the head: each ends with a zero byte inside SRD and is no
// longer than its limit; SRD may end after any of them.
bool TextsFit(const uint8_t* srd, uint16_t srl) {
  constexpr std::size_t kLimits[] = {32, 32, 23};
  std::size_t offset = kHeadLength;
  for (const std::size_t limit : kLimits) {
    const void* zero = std::memchr(srd + offset, 0, srl - offset);
    if (zero == nullptr) return false;
    const std::size_t length =
        static_cast<std::size_t>(static_cast<const uint8_t*>(zero) - (srd + offset));
    if (length > limit) return false;
    offset += length + 1;
    if (offset == srl) return true;
  }
  return true;
}

}  // namespace

static_assert(std::size(kFields) == Subrecord_LOGGER_DATA::kFieldCount);

Subrecord_LOGGER_DATA::Subrecord_LOGGER_DATA() : DeclaredWith(kDeclaration) {
  for (const Place number : {kFlags, kValue1, kValue2, kType, kValue3, kValue4, kData}) {
    Set(number, 0);
  }
  for (const Place text : {kComponentName, kModuleName, kPhoneNumber}) SetText(text, {});
}

uint8_t Subrecord_LOGGER_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kFewestBytes || !TextsFit(srd, srl)) return EGTS_PC_INVDATALEN;
  uint8_t result = EGTS_PC_OK;
  try {
    result = DeclaredSubrecord::Decode(srd, srl);
  } catch (const std::bad_alloc&) {
    data.reset();
    return EGTS_PC_NO_RES_AVAIL;
  }
  // What the wire left out is held as nothing: empty texts, no stream.
  for (const Place text : {kModuleName, kPhoneNumber}) {
    if (!Present(text)) SetText(text, {});
  }
  Set(kData, 0);
  return result;
}

}  // namespace EGTS
