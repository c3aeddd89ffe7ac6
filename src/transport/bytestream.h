#pragma once
// Growable byte buffer with a write position; every encoder of the system
// writes into one. Multi-byte values are appended little-endian.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace EGTS {

struct bytestream {
  std::vector<uint8_t> bytes;
  uint32_t position = 0;  // bytes appended so far; equals bytes.size()

  void AppendByte(uint8_t value);
  void AppendU16(uint16_t value);
  void AppendU32(uint32_t value);

  // Copies n source bytes to offsets position .. position + n - 1, growing
  // the buffer with zero bytes first where needed. n == 0 does nothing.
  void WriteBlock(const uint8_t* source, uint16_t n);

  // Overwrites two bytes at offset (little-endian). Returns false and changes
  // nothing when the buffer does not hold offset + 2 bytes.
  bool PatchU16(uint32_t offset, uint16_t value);

  // Empties the buffer, releases its storage and sets position to 0.
  void Reset();
};

// Appends n bytes of any count, in blocks WriteBlock can take.
void WriteBytes(bytestream& out, const uint8_t* source, size_t n);

// Appends the first position bytes of `data` (never more than it holds).
void AppendStreamBytes(bytestream& out, const bytestream& data);

}  // namespace EGTS
