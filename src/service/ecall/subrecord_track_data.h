#pragma once
// EGTS_SR_TRACK_DATA (SRT 62, eCall service).
// SRD layout (little-endian):
//   0  u8   SA   number of track points that follow (1-255)
//   1  u32  ATM  absolute time, seconds since 2010-01-01 00:00:00 UTC
//   5  SA points of 1 byte (no data) or 12 bytes (with data):
//        0  u8   flags  bit 7 TNDE data present, bit 6 LOHS, bit 5 LAHS,
//                       bits 0-4 RTM in 0.1 s since the previous point
//        1  u32  LAT    degrees * 4294967295 / 90      (TNDE only)
//        5  u32  LONG   degrees * 4294967295 / 180     (TNDE only)
//        9  u16  SPD    bits 0-14 speed in 0.01 km/h, bit 15 DIR bit 8
//       11  u8   DIR    bits 0-7 of the direction (0-511)
// A point flagged TNDE without 11 bytes after its flag byte is skipped.

#include <cstdint>
#include <string>
#include <vector>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_TRACK_DATA : public Subrecord_Class {
 public:
  struct Point {
    bool TNDE = false;  // data present
    uint8_t flags = 0;  // the whole flag byte
    uint32_t LAT = 0;
    uint32_t LONG = 0;
    uint16_t SPD = 0;  // 15 bits
    uint16_t DIR = 0;  // 9 bits
  };

  uint8_t SA = 0;    // structures amount; Encode sets it from the list
  uint32_t ATM = 0;  // absolute time
  std::vector<Point> points;

  Subrecord_TRACK_DATA() = default;
  Subrecord_TRACK_DATA(const Subrecord_TRACK_DATA&) = default;
  Subrecord_TRACK_DATA& operator=(const Subrecord_TRACK_DATA&) = default;
  ~Subrecord_TRACK_DATA() override = default;

  // Resets the stream first; an empty list gives 134 after SA and ATM are
  // written. Sets bit 7 in the stored flags of every point with data.
  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  // A header piece, then one piece per point.
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
