#include "service/ecall/subrecord_ecall_raw_msd_data.h"

#include <algorithm>
#include <new>
#include <span>

#include "transport/result_codes.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;

// "N bytes [hex]": at most kReportedBytes of them, "..." after the hex of
// data longer than 512 bytes.
std::string RawMsdShown(const DeclaredSubrecord& subrecord, uint32_t) {
  static const char kDigits[] = "0123456789ABCDEF";
  const std::span<const uint8_t> bytes = subrecord.Bytes(Subrecord_ECALL_RAW_MSD_DATA::kMsd);
  const std::size_t shown = std::min(bytes.size(), Subrecord_ECALL_RAW_MSD_DATA::kReportedBytes);
  std::string text = std::to_string(bytes.size()) + " bytes [";
  text.reserve(text.size() + 2 * shown + 4);
  for (const uint8_t b : bytes.first(shown)) {
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  text += bytes.size() > 512 ? "...]" : "]";
  return text;
}

constexpr DeclaredField kFields[] = {
    {.name = "FORMAT", .label = "Format"},
    {.name = "MSD",
     .label = "Raw MSD data",
     .shown = Shown::kBytes,
     .end = DeclaredField::TextEnd::kData,
     .shownText = &RawMsdShown,
     .shared = true},
};

constexpr Declaration kDeclaration = Declare(kFields, LeftoverCheck::kNone);
static_assert(kDeclaration.valid);

}  // namespace

static_assert(std::size(kFields) == Subrecord_ECALL_RAW_MSD_DATA::kFieldCount);

Subrecord_ECALL_RAW_MSD_DATA::Subrecord_ECALL_RAW_MSD_DATA() : DeclaredWith(kDeclaration) {
  Set(kFormat, 0);
  Set(kMsd, 0);
}

uint8_t Subrecord_ECALL_RAW_MSD_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl == 0) return EGTS_PC_INVDATALEN;
  try {
    const uint8_t result = DeclaredSubrecord::Decode(srd, srl);
    if (srl == 1) data.reset();  // the format byte alone: no stream
    return result;
  } catch (const std::bad_alloc&) {
    return EGTS_PC_NO_RES_AVAIL;
  }
}

}  // namespace EGTS
