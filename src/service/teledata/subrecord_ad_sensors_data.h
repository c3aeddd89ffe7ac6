#pragma once
// EGTS_SR_AD_SENSORS_DATA (SRT 18, TELEDATA service): digital and analog
// inputs.
// SRD layout (little-endian), fields in this order:
//   u8   DIOE  bit n set: ADIO n+1 follows
//   u8   DOUT  digital outputs 1-8
//   u8   ASFE  bit n set: ANS n+1 follows
//   u8   ADIO  one byte (8 more digital inputs) per set DIOE bit, in order
//   u24  ANS   one analog value per set ASFE bit, in order

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_AD_SENSORS_DATA : public DeclaredWith<19> {
 public:
  Subrecord_AD_SENSORS_DATA();

  uint8_t DIOE() const { return static_cast<uint8_t>(Value(0)); }
  uint8_t DOUT() const { return static_cast<uint8_t>(Value(1)); }
  uint8_t ASFE() const { return static_cast<uint8_t>(Value(2)); }
  // ADIO n+1 and ANS n+1 (n from 0 to 7); 0 when their bit is clear.
  uint8_t ADIO(unsigned n) const { return static_cast<uint8_t>(Value(3 + n)); }
  uint32_t ANS(unsigned n) const { return Value(11 + n); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
