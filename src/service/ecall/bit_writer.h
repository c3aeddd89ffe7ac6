#pragma once
// Writes unsigned fields of 1 to 32 bits most significant bit first and
// without alignment, as unaligned PER lays them out; the last octet is
// padded with zero bits.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace EGTS::Msd {

class BitWriter {
 public:
  // Writes the low `count` bits of value (count 1 to 32).
  void Write(uint32_t value, unsigned count);
  void WriteBit(bool bit) { Write(bit ? 1u : 0u, 1); }
  void WriteOctets(const std::vector<uint8_t>& octets);

  size_t Bits() const { return bits_; }
  // The bits written so far, the last octet padded with zeros.
  const std::vector<uint8_t>& Octets() const { return octets_; }

 private:
  std::vector<uint8_t> octets_;
  size_t bits_ = 0;
};

}  // namespace EGTS::Msd
