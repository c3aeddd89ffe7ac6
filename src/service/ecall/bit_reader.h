#pragma once
// Reads unsigned fields of 1 to 32 bits from a byte string, most
// significant bit first and without alignment, as unaligned PER lays them
// out. A read that would pass the end fails and consumes nothing; the
// reader never touches a byte beyond the size it was given.

#include <cstddef>
#include <cstdint>

namespace EGTS::Msd {

class BitReader {
 public:
  BitReader(const uint8_t* data, size_t size) : data_(data), bits_(data ? size * 8 : 0) {}

  // False, with `value` untouched, when fewer than `count` bits are left;
  // `count` is 1 to 32.
  bool Read(unsigned count, uint32_t& value);
  bool ReadBit(bool& bit);

  size_t Position() const { return position_; }  // bits read so far
  size_t Left() const { return bits_ - position_; }
  // The bits from the position to the end of its octet (0 to 7 of them),
  // as a number; the position does not move.
  uint32_t PaddingValue() const;
  unsigned PaddingBits() const { return static_cast<unsigned>((8 - position_ % 8) % 8); }

 private:
  const uint8_t* data_;
  size_t bits_;
  size_t position_ = 0;
};

}  // namespace EGTS::Msd
