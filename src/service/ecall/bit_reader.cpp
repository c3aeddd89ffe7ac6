#include "service/ecall/bit_reader.h"

namespace EGTS::Msd {

bool BitReader::Read(unsigned count, uint32_t& value) {
  if (count == 0 || count > 32 || count > Left()) return false;
  uint32_t result = 0;
  for (unsigned i = 0; i < count; ++i) {
    const size_t at = position_ + i;
    result = (result << 1) | ((data_[at / 8] >> (7 - at % 8)) & 1u);
  }
  position_ += count;
  value = result;
  return true;
}

bool BitReader::ReadBit(bool& bit) {
  uint32_t value = 0;
  if (!Read(1, value)) return false;
  bit = value != 0;
  return true;
}

uint32_t BitReader::PaddingValue() const {
  const unsigned padding = PaddingBits();
  if (padding == 0 || padding > Left()) return 0;
  return data_[position_ / 8] & ((1u << padding) - 1u);
}

}  // namespace EGTS::Msd
