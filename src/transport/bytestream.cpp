#include "transport/bytestream.h"

#include <algorithm>
#include <cstring>

namespace EGTS {

void bytestream::AppendByte(uint8_t value) {
  bytes.push_back(value);
  ++position;
}

void bytestream::AppendU16(uint16_t value) {
  AppendByte(static_cast<uint8_t>(value & 0xFF));
  AppendByte(static_cast<uint8_t>(value >> 8));
}

void bytestream::AppendU32(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) {
    AppendByte(static_cast<uint8_t>((value >> shift) & 0xFF));
  }
}

void bytestream::WriteBlock(const uint8_t* source, uint16_t n) {
  if (n == 0 || source == nullptr) return;
  const size_t end = static_cast<size_t>(position) + n;
  if (bytes.size() < end) bytes.resize(end, 0);
  std::memcpy(bytes.data() + position, source, n);
  position = static_cast<uint32_t>(end);
}

bool bytestream::PatchU16(uint32_t offset, uint16_t value) {
  if (bytes.size() < static_cast<size_t>(offset) + 2) return false;
  bytes[offset] = static_cast<uint8_t>(value & 0xFF);
  bytes[offset + 1] = static_cast<uint8_t>(value >> 8);
  return true;
}

void bytestream::Reset() {
  std::vector<uint8_t>().swap(bytes);
  position = 0;
}

void WriteBytes(bytestream& out, const uint8_t* source, size_t n) {
  while (n > 0) {
    const uint16_t block = static_cast<uint16_t>(std::min<size_t>(n, 0xFFFF));
    out.WriteBlock(source, block);
    source += block;
    n -= block;
  }
}

void AppendStreamBytes(bytestream& out, const bytestream& data) {
  WriteBytes(out, data.bytes.data(), std::min<size_t>(data.position, data.bytes.size()));
}

}  // namespace EGTS
