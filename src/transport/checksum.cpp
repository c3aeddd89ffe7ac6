#include "transport/checksum.h"

#include <array>
#include <cstddef>

namespace {

// Entry i is the register after shifting i (placed in the top bits) through
// the polynomial eight times, most significant bit first, no initial value.
constexpr std::array<uint8_t, 256> MakeCrc8Table() {
  std::array<uint8_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reg = i;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x80) ? ((reg << 1) ^ 0x31) : (reg << 1);
    }
    table[i] = static_cast<uint8_t>(reg & 0xFF);
  }
  return table;
}

constexpr std::array<uint16_t, 256> MakeCrc16Table() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    unsigned reg = i << 8;
    for (int bit = 0; bit < 8; ++bit) {
      reg = (reg & 0x8000) ? ((reg << 1) ^ 0x1021) : (reg << 1);
    }
    table[i] = static_cast<uint16_t>(reg & 0xFFFF);
  }
  return table;
}

// Row k, entry i: what byte i followed by k zero bytes adds to the register,
// so that eight bytes are taken in one step (row 0 is the one-byte table).
constexpr std::array<std::array<uint16_t, 256>, 8> MakeCrc16Slices() {
  std::array<std::array<uint16_t, 256>, 8> slices{};
  slices[0] = MakeCrc16Table();
  for (std::size_t k = 1; k < slices.size(); ++k) {
    for (unsigned i = 0; i < 256; ++i) {
      const uint16_t previous = slices[k - 1][i];
      slices[k][i] = static_cast<uint16_t>((previous << 8) ^ slices[0][previous >> 8]);
    }
  }
  return slices;
}

constexpr auto kCrc8Table = MakeCrc8Table();
constexpr auto kCrc16Slices = MakeCrc16Slices();
constexpr const std::array<uint16_t, 256>& kCrc16Table = kCrc16Slices[0];

static_assert(kCrc8Table[1] == 0x31 && kCrc8Table[2] == 0x62 && kCrc8Table[255] == 0xAC);
static_assert(kCrc16Table[1] == 0x1021 && kCrc16Table[2] == 0x2042 && kCrc16Table[255] == 0x1EF0);

}  // namespace

uint8_t Crc8(const uint8_t* bytes, uint8_t count) {
  uint8_t reg = 0xFF;
  for (unsigned i = 0; i < count; ++i) reg = kCrc8Table[reg ^ bytes[i]];
  return reg;
}

uint16_t Crc16(const uint8_t* bytes, uint16_t length) { return Crc16Update(0xFFFF, bytes, length); }

uint16_t Crc16Update(uint16_t reg, const uint8_t* bytes, std::size_t length) {
  std::size_t i = 0;
  for (; i + 8 <= length; i += 8) {
    const uint8_t* b = bytes + i;
    reg = static_cast<uint16_t>(
        kCrc16Slices[7][(reg >> 8) ^ b[0]] ^ kCrc16Slices[6][(reg & 0xFF) ^ b[1]] ^
        kCrc16Slices[5][b[2]] ^ kCrc16Slices[4][b[3]] ^ kCrc16Slices[3][b[4]] ^
        kCrc16Slices[2][b[5]] ^ kCrc16Slices[1][b[6]] ^ kCrc16Slices[0][b[7]]);
  }
  for (; i < length; ++i) {
    reg = static_cast<uint16_t>((reg << 8) ^ kCrc16Table[(reg >> 8) ^ bytes[i]]);
  }
  return reg;
}
