#include "service/srd_reader.h"

#include "service/field_report.h"
#include "service/subrecord_class.h"
#include "util/text.h"

namespace EGTS {

uint64_t SrdReader::Take(std::size_t n) {
  if (Left() < n) {
    position_ = size_;
    return 0;
  }
  uint64_t value = 0;
  for (std::size_t i = 0; i < n; ++i)
    value |= static_cast<uint64_t>(data_[position_ + i]) << (8 * i);
  position_ += n;
  return value;
}

std::vector<uint8_t> SrdReader::Rest() {
  std::vector<uint8_t> rest(Here(), Here() + Left());
  position_ = size_;
  return rest;
}

bool RequireLength(std::vector<std::string>& checks, std::size_t srl, std::size_t required) {
  if (srl >= required) return true;
  checks.push_back(
      StringPrintf("SRL %zu is shorter than the %zu bytes the fields require", srl, required));
  return false;
}

void CheckTrailing(std::vector<std::string>& checks, std::size_t left) {
  if (left == 0) return;
  checks.push_back(StringPrintf("%zu byte%s after the last field", left, left == 1 ? "" : "s"));
}

void CheckReserved(std::vector<std::string>& checks, const char* what, uint32_t value,
                   uint32_t mask) {
  const uint32_t set = value & mask;
  if (set == 0) return;
  std::string bits;
  unsigned count = 0;
  for (unsigned bit = 0; bit < 32; ++bit) {
    if (!(set & (1u << bit))) continue;
    bits += (bits.empty() ? "" : ", ") + std::to_string(bit);
    ++count;
  }
  checks.push_back(StringPrintf("reserved bit%s %s of %s %s set", count == 1 ? "" : "s",
                                bits.c_str(), what, count == 1 ? "is" : "are"));
}

unsigned CountBits(uint32_t mask) {
  unsigned count = 0;
  for (; mask != 0; mask &= mask - 1) ++count;
  return count;
}

}  // namespace EGTS
