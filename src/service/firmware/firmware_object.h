#pragma once
// The object header (ODH) and the object data (OD) that the FIRMWARE
// service's SERVICE_PART_DATA and SERVICE_FULL_DATA carry.
// ODH layout (little-endian), 7 bytes and more:
//   0  u8   OA   bits 7-4 reserved, 3-2 OT (object type: 0 firmware,
//                1 configuration), 1-0 MT (module type: 0 peripheral,
//                1 the terminal itself)
//   1  u8   CMI  component or module id
//   2  u16  VER  version: high byte major, low byte minor
//   4  u16  WOS  CRC-16/CCITT (as SFRCS) of the whole object
//   6  FN   file name, up to 64 bytes
//      D    a 0 byte ending FN

#include <cstdint>
#include <string>
#include <vector>

#include "service/field_list.h"
#include "service/srd_cursor.h"

namespace EGTS {

struct ObjectDataHeader {
  static constexpr std::size_t kMinLength = 7;

  uint8_t OA = 0;
  uint8_t CMI = 0;
  uint16_t VER = 0;
  uint16_t WOS = 0;
  std::string FN;  // bytes as sent (CP-1251), without D

  unsigned OT() const { return (OA >> 2) & 0x03; }
  unsigned MT() const { return OA & 0x03; }

  // Reads the header from the cursor, which must hold kMinLength bytes.
  void Decode(SrdCursor& in, std::vector<std::string>& checks);
  // "ODH" as an object; with wholeObject the CRC of od is shown against WOS.
  Field Describe(const std::string& od, bool wholeObject) const;
};

// Adds a check when WOS is not the CRC-16/CCITT of the whole object od.
void CheckObjectCrc(uint16_t wos, const std::string& od, std::vector<std::string>& checks);

// OD as its length (od_length) and its bytes (OD): JSON holds them all, the
// text report shows the first 16 (an object can be far too long to show
// whole).
void DescribeObjectData(const std::string& od, FieldList& fields);

}  // namespace EGTS
