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

#include <cstddef>
#include <cstdint>
#include <vector>

#include "service/declared_subrecord.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_ACCEL_DATA : public DeclaredWithElements<4> {
 public:
  enum Place : std::size_t { kSA = 0, kATM = 1, kTime = 2, kADS = 3 };
  // The fields of a structure.
  enum StructurePlace : std::size_t {
    kRTM = 0,
    kStructureTime = 1,
    kXAAV = 2,
    kYAAV = 3,
    kZAAV = 4
  };

  // One accelerometer sample, raw wire values.
  struct Structure {
    uint16_t RTM = 0;
    uint16_t XAAV = 0;
    uint16_t YAAV = 0;
    uint16_t ZAAV = 0;
  };

  // SA 0, ATM 0 and no structures.
  Subrecord_ACCEL_DATA();
  Subrecord_ACCEL_DATA(const Subrecord_ACCEL_DATA&) = default;
  Subrecord_ACCEL_DATA& operator=(const Subrecord_ACCEL_DATA&) = delete;
  ~Subrecord_ACCEL_DATA() override = default;

  // Resets the stream first and writes SA as the number of structures; none
  // gives 134 and writes nothing.
  uint8_t Encode(bytestream& out) override;
  // 139 for SRL 12 or less or fewer structures than SA (those read stay),
  // 132 for SA 0.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;

  uint8_t SA() const { return static_cast<uint8_t>(Value(kSA)); }
  uint32_t ATM() const { return Value(kATM); }
  void SetSA(uint8_t sa) { Set(kSA, sa); }  // Encode sets it again
  void SetATM(uint32_t atm) { Set(kATM, atm); }
  std::size_t StructureCount() const { return ElementCount(); }
  Structure StructureAt(std::size_t index) const;
  std::vector<Structure> Structures() const;
  void AddStructure(const Structure& structure);
};

}  // namespace EGTS
