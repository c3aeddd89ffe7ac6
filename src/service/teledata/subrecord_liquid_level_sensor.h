#pragma once
// EGTS_SR_LIQUID_LEVEL_SENSOR (SRT 27, TELEDATA service): one fuel or
// liquid level sensor.
// SRD layout (little-endian):
//   0  u8   FLG    bit 7 reserved, 6 LLSEF (sensor error), bits 5-4 LLSVU
//                  (00 raw value, 01 per cent of the tank, 10 litres in
//                  0.1 l, 11 undefined), 3 RDF (raw data follows),
//                  bits 2-0 LLSN (sensor number)
//   1  u16  MADDR  module address
//   3  LLSD        u32 level when RDF is 0; with RDF the raw bytes to the
//                  end of the SRD

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_LIQUID_LEVEL_SENSOR : public DeclaredWith<10> {
 public:
  Subrecord_LIQUID_LEVEL_SENSOR();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint8_t FLG() const { return static_cast<uint8_t>(Value(0)); }
  bool LLSEF() const { return (FLG() & 0x40) != 0; }
  uint8_t LLSVU() const { return (FLG() >> 4) & 0x03; }
  bool RDF() const { return (FLG() & 0x08) != 0; }
  uint8_t LLSN() const { return FLG() & 0x07; }
};

}  // namespace EGTS
