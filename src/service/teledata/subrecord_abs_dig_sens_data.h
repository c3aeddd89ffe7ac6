#pragma once
// EGTS_SR_ABS_DIG_SENS_DATA (SRT 23, TELEDATA service): one digital sensor
// by its number. Always 2 bytes:
//   0  bits 0-3 DSST (state), bits 4-7 the low 4 bits of DSN
//   1  the high 8 bits of DSN (sensor number, 12 bits)

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_ABS_DIG_SENS_DATA : public DeclaredWith<3> {
 public:
  Subrecord_ABS_DIG_SENS_DATA();

  uint16_t DSN() const { return static_cast<uint16_t>(Value(1)); }
  uint8_t DSST() const { return static_cast<uint8_t>(Value(2)); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
