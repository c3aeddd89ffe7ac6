#pragma once
// EGTS_SR_LOOPIN_DATA (SRT 22, TELEDATA service): states of loop inputs.
// SRD layout:
//   u8  LIFE  bit n set: loop n+1 is reported, its state is LIS n+1
//   then the states of the reported loops only, in loop order, 4 bits each,
//   two per byte, the first in the low half: LIFE 0x2D gives LIS1 and LIS3
//   in the first byte, LIS4 and LIS6 in the second. An odd count leaves the
//   high half of the last byte unused.
// States: see loop_state.h.

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_LOOPIN_DATA : public DeclaredWith<9> {
 public:
  Subrecord_LOOPIN_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint8_t LIFE() const { return static_cast<uint8_t>(Value(0)); }
  // The state of loop n+1 (0 when LIFE does not report it).
  uint8_t LIS(unsigned n) const { return static_cast<uint8_t>(Value(1 + n)); }
};

}  // namespace EGTS
