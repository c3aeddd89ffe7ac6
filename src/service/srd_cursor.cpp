#include "service/srd_cursor.h"

#include <algorithm>

#include "service/field_report.h"
#include "util/text.h"

namespace EGTS {

uint32_t SrdCursor::TakeShort() {
  uint32_t value = 0;
  for (std::size_t i = 0; offset_ < size_; ++i) value |= static_cast<uint32_t>(data_[offset_++]) << (8 * i);
  return value;
}

std::string SrdCursor::Raw(std::size_t n) {
  n = std::min(n, Remaining());
  std::string bytes(reinterpret_cast<const char*>(data_ + offset_), n);
  offset_ += n;
  return bytes;
}

std::vector<uint8_t> SrdCursor::Rest() {
  std::vector<uint8_t> rest(Here(), Here() + Remaining());
  offset_ = size_;
  return rest;
}

std::string SrdCursor::Terminated(const char* name, std::size_t maxLength,
                                  std::vector<std::string>& checks) {
  const uint8_t* begin = data_ + offset_;
  const uint8_t* end = data_ + size_;
  const uint8_t* nul = std::find(begin, end, uint8_t{0});
  std::string text(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(nul - begin));
  if (nul == end) {
    checks.push_back(StringPrintf("%s has no terminating NUL", name));
    offset_ = size_;
  } else {
    offset_ += text.size() + 1;
  }
  if (maxLength != 0 && text.size() > maxLength) {
    checks.push_back(
        StringPrintf("%s is %zu bytes long, more than %zu", name, text.size(), maxLength));
  }
  return text;
}

bool RequireLength(std::vector<std::string>& checks, std::size_t srl, std::size_t required) {
  if (srl >= required) return true;
  checks.push_back(TooShortCheck(static_cast<uint16_t>(srl), required));
  return false;
}

std::string TooShortCheck(uint16_t srl, std::size_t need) {
  return StringPrintf("SRL %u is shorter than the %zu byte%s its fields need", unsigned{srl}, need,
                      need == 1 ? "" : "s");
}

void CheckNothingLeft(std::size_t remaining, std::vector<std::string>& checks) {
  if (remaining == 0) return;
  checks.push_back(StringPrintf("%zu byte%s after the last field", remaining,
                                remaining == 1 ? "" : "s"));
}

void CheckReservedBits(uint32_t value, uint32_t reservedMask, const char* field,
                       std::vector<std::string>& checks) {
  const uint32_t set = value & reservedMask;
  if (set == 0) return;
  std::string bits;
  unsigned count = 0;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if (!(set & (1u << bit))) continue;
    bits += (count++ == 0 ? "" : ", ") + std::to_string(bit);
  }
  checks.push_back(count == 1 ? StringPrintf("reserved bit %s of %s is set", bits.c_str(), field)
                              : StringPrintf("reserved bits %s of %s are set", bits.c_str(), field));
}

void CheckDigits(const char* field, const std::string& bytes, std::vector<std::string>& checks) {
  const std::size_t digits =
      std::find_if(bytes.begin(), bytes.end(), [](char c) { return c < '0' || c > '9'; }) -
      bytes.begin();
  const bool nulPadded =
      digits < bytes.size() &&
      std::all_of(bytes.begin() + digits, bytes.end(), [](char c) { return c == '\0'; });
  if (digits == bytes.size()) return;
  checks.push_back(nulPadded ? StringPrintf("%s padded with NUL bytes", field)
                             : StringPrintf("%s holds bytes that are not digits", field));
}

unsigned CountBits(uint32_t mask) {
  unsigned count = 0;
  for (; mask != 0; mask &= mask - 1) ++count;
  return count;
}

std::string TextUpToNul(const std::string& bytes) {
  const std::size_t length = std::min(bytes.find('\0'), bytes.size());
  return Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), length);
}

std::string VersionText(uint16_t version) {
  return StringPrintf("%u.%u", unsigned{version} >> 8, unsigned{version} & 0xFFu);
}

Field FlagField(const char* name, uint32_t value, unsigned bit) {
  return Field::Unsigned(name, (value >> bit) & 1u).Label(std::string("    ") + name);
}

Field BitsField(const char* name, const char* label, uint32_t value, unsigned width) {
  return Field::Unsigned(name, value).Label(label).Shown(BitString(value, width) + "b");
}

}  // namespace EGTS
