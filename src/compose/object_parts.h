#pragma once
// The parts of an object (firmware or a configuration block) sent to a
// unit with the FIRMWARE service as EGTS_SR_SERVICE_PART_DATA subrecords:
//   ID u16, PN u16, EPQ u16, then on the first part only the object
//   header (OA: OT in bits 3..2, MT in bits 1..0; CMI u8; VER u16; WOS u16,
//   the CRC-16 of the whole object; no file name, its NUL), then the part.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

struct ObjectHeader {
  bool configuration = false;  // OT 1, else firmware (OT 0)
  uint8_t module = 0;          // MT: 0 a peripheral, 1 the unit itself
  uint8_t component = 0;       // CMI
  uint16_t version = 0;        // VER, major in the high byte
};

constexpr uint8_t kServicePartData = 33;

// Parts used when the unit announced no block size.
constexpr uint32_t kDefaultPartSize = 1024;
// Bytes a part's packet needs beyond its object data: header 11, SFRCS 2,
// record header 7, subrecord header 3, ID/PN/EPQ 6, object header 7 and its
// NUL.
constexpr uint32_t kPartOverhead = 11 + 2 + 7 + 3 + 6 + 8;

// The part size for a unit that announced block size `bs` (0 when it did
// not): the block less what a packet needs besides the part.
uint32_t PartSizeFor(uint32_t bs);

std::size_t PartCount(std::size_t objectSize, uint32_t partSize);

// The SRD of part `part` (zero-based) of `object`; PN is `firstPart + part`.
std::vector<uint8_t> ObjectPartSrd(std::span<const uint8_t> object, const ObjectHeader& header,
                                   uint16_t objectId, uint32_t partSize, std::size_t part,
                                   uint32_t firstPart = 0);
