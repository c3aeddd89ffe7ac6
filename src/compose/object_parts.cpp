#include "compose/object_parts.h"

#include <algorithm>
#include <string>

#include "service/firmware/subrecord_service_part_data.h"
#include "transport/bytestream.h"
#include "transport/checksum.h"

uint32_t PartSizeFor(uint32_t bs) {
  return bs > kPartOverhead ? bs - kPartOverhead : kDefaultPartSize;
}

std::size_t PartCount(std::size_t objectSize, uint32_t partSize) {
  return (objectSize + partSize - 1) / partSize;
}

std::vector<uint8_t> ObjectPartSrd(std::span<const uint8_t> object, const ObjectHeader& header,
                                   uint16_t objectId, uint32_t partSize, std::size_t part,
                                   uint32_t firstPart) {
  using EGTS::ObjectPlace::kCMI;
  using EGTS::ObjectPlace::kHeader;
  using EGTS::ObjectPlace::kMT;
  using EGTS::ObjectPlace::kOA;
  using EGTS::ObjectPlace::kOD;
  using EGTS::ObjectPlace::kOT;
  using EGTS::ObjectPlace::kVER;
  using EGTS::ObjectPlace::kWOS;
  using Part = EGTS::Subrecord_SERVICE_PART_DATA;
  constexpr std::size_t kObject = Part::kObject;
  Part srd;
  srd.Set(Part::kID, objectId);
  srd.Set(Part::kPN, static_cast<uint16_t>(firstPart + part));
  srd.Set(Part::kEPQ, static_cast<uint16_t>(PartCount(object.size(), partSize)));
  if (part == 0) {
    srd.Set(kObject + kHeader, 0);
    srd.Set(kObject + kOA, 0);
    srd.Set(kObject + kOT, header.configuration ? 1 : 0);
    srd.Set(kObject + kMT, header.module & 0x03);
    srd.Set(kObject + kCMI, header.component);
    srd.Set(kObject + kVER, header.version);
    srd.Set(kObject + kWOS, Crc16Update(0xFFFF, object.data(), object.size()));
    srd.SetText(kObject + EGTS::ObjectPlace::kFN, "");  // no file name, its NUL
  }
  const std::size_t from = std::min(object.size(), part * partSize);
  const std::size_t count = std::min<std::size_t>(partSize, object.size() - from);
  srd.SetText(kObject + kOD,
              std::string(reinterpret_cast<const char*>(object.data()) + from, count));
  EGTS::bytestream out;
  srd.Encode(out);
  return std::vector<uint8_t>(out.bytes.begin(), out.bytes.begin() + out.position);
}
