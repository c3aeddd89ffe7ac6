#include "compose/object_parts.h"

#include <algorithm>

#include "transport/checksum.h"

namespace {

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

uint32_t PartSizeFor(uint32_t bs) { return bs > kPartOverhead ? bs - kPartOverhead : kDefaultPartSize; }

std::size_t PartCount(std::size_t objectSize, uint32_t partSize) {
  return (objectSize + partSize - 1) / partSize;
}

std::vector<uint8_t> ObjectPartSrd(std::span<const uint8_t> object, const ObjectHeader& header,
                                   uint16_t objectId, uint32_t partSize, std::size_t part,
                                   uint32_t firstPart) {
  std::vector<uint8_t> srd;
  PutU16(srd, objectId);
  PutU16(srd, static_cast<uint32_t>(firstPart + part));
  PutU16(srd, static_cast<uint32_t>(PartCount(object.size(), partSize)));
  if (part == 0) {
    srd.push_back(static_cast<uint8_t>((header.configuration ? 0x04 : 0x00) | (header.module & 0x03)));
    srd.push_back(header.component);
    PutU16(srd, header.version);
    PutU16(srd, Crc16Update(0xFFFF, object.data(), object.size()));
    srd.push_back(0x00);  // no file name
  }
  const std::size_t from = std::min(object.size(), part * partSize);
  const std::size_t count = std::min<std::size_t>(partSize, object.size() - from);
  srd.insert(srd.end(), object.begin() + static_cast<std::ptrdiff_t>(from),
             object.begin() + static_cast<std::ptrdiff_t>(from + count));
  return srd;
}
