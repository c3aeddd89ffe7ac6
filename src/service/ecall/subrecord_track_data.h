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

#include <cstddef>
#include <cstdint>
#include <vector>

#include "service/declared_subrecord.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_TRACK_DATA : public DeclaredWithElements<4> {
 public:
  enum Place : std::size_t { kSA = 0, kATM = 1, kTime = 2, kPoints = 3 };
  // The fields of a point, in JSON order.
  enum PointPlace : std::size_t {
    kFlags = 0,
    kTNDE = 1,
    kLOHS = 2,
    kLAHS = 3,
    kRTM = 4,
    kPointTime = 5,
    kLAT = 6,
    kLONG = 7,
    kSpeedWord = 8,
    kSPD = 9,
    kDIRH = 10,
    kDirectionByte = 11,
    kDIR = 12,
    kLatitude = 13,
    kLongitude = 14,
    kSpeedKmh = 15,
    kHeading = 16,
    kHemisphereOfLongitude = 17,  // the report's lines of LOHS and LAHS
    kHemisphereOfLatitude = 18,
  };

  struct Point {
    bool TNDE = false;  // data present
    uint8_t flags = 0;  // the whole flag byte
    uint32_t LAT = 0;
    uint32_t LONG = 0;
    uint16_t SPD = 0;  // 15 bits
    uint16_t DIR = 0;  // 9 bits
  };

  // SA 0, ATM 0 and no points.
  Subrecord_TRACK_DATA();
  Subrecord_TRACK_DATA(const Subrecord_TRACK_DATA&) = default;
  Subrecord_TRACK_DATA& operator=(const Subrecord_TRACK_DATA&) = delete;
  ~Subrecord_TRACK_DATA() override = default;

  // Resets the stream first and writes SA as the number of points; with
  // none, SA and ATM are written and 134 given.
  uint8_t Encode(bytestream& out) override;
  // 139 for SRL 5 or less or fewer points than SA (those read stay), 132
  // for SA 0.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;

  uint8_t SA() const { return static_cast<uint8_t>(Value(kSA)); }
  uint32_t ATM() const { return Value(kATM); }
  void SetSA(uint8_t sa) { Set(kSA, sa); }  // Encode sets it again
  void SetATM(uint32_t atm) { Set(kATM, atm); }
  std::size_t PointCount() const { return ElementCount(); }
  Point PointAt(std::size_t index) const;
  std::vector<Point> Points() const;
  // TNDE decides bit 7 of the flag byte.
  void AddPoint(const Point& point);
};

}  // namespace EGTS
