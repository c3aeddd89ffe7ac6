#include "service/ecall/bit_writer.h"

namespace EGTS::Msd {

void BitWriter::Write(uint32_t value, unsigned count) {
  for (unsigned i = count; i-- > 0;) {
    if (bits_ % 8 == 0) octets_.push_back(0);
    if ((value >> i) & 1u) octets_.back() |= static_cast<uint8_t>(0x80u >> (bits_ % 8));
    ++bits_;
  }
}

void BitWriter::WriteOctets(const std::vector<uint8_t>& octets) {
  for (const uint8_t octet : octets) Write(octet, 8);
}

}  // namespace EGTS::Msd
