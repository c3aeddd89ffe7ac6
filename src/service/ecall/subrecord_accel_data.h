#pragma once
// EGTS_SR_ACCEL_DATA (SRT 20, eCall service).
// SRD layout (little-endian):
//   0  u8   SA   number of structures that follow (1-255)
//   1  u32  ATM  absolute time, seconds since 2010-01-01 00:00:00 UTC
//   5  SA structures of 8 bytes:
//        0  u16  RTM   milliseconds since the previous structure (first: ATM)
//        2  u16  XAAV  X acceleration: bit 15 sign (1 negative),
//                      bits 0-14 magnitude in 0.1 m/s2
//        4  u16  YAAV  Y acceleration, same encoding
//        6  u16  ZAAV  Z acceleration, same encoding
// Bytes after the SA-th structure are ignored.

#include <cstdint>
#include <string>
#include <vector>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ACCEL_DATA : public Subrecord_Class {
 public:
  // One accelerometer sample, raw wire values.
  struct Structure {
    uint16_t RTM = 0;
    uint16_t XAAV = 0;
    uint16_t YAAV = 0;
    uint16_t ZAAV = 0;
  };

  uint8_t SA = 0;    // structures amount; Encode sets it from the list
  uint32_t ATM = 0;  // absolute time
  std::vector<Structure> structures;

  Subrecord_ACCEL_DATA() = default;
  Subrecord_ACCEL_DATA(const Subrecord_ACCEL_DATA&) = default;
  Subrecord_ACCEL_DATA& operator=(const Subrecord_ACCEL_DATA&) = default;
  ~Subrecord_ACCEL_DATA() override = default;

  // Resets the stream first; an empty list gives 134 and writes nothing.
  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  // A header piece, then one piece per structure.
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
