#pragma once
// EGTS_SR_ABS_LOOPIN_DATA (SRT 26, TELEDATA service): one loop input by its
// number. Always 2 bytes:
//   0  bits 0-3 LIS (state, see loop_state.h), bits 4-7 the low 4 bits of LIN
//   1  the high 8 bits of LIN (loop number, 12 bits)

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_ABS_LOOPIN_DATA : public DeclaredWith<3> {
 public:
  Subrecord_ABS_LOOPIN_DATA();

  uint16_t LIN() const { return static_cast<uint16_t>(Value(1)); }
  uint8_t LIS() const { return static_cast<uint8_t>(Value(2)); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
