#pragma once
// EGTS_SR_LOOPIN_DATA (SRT 22, TELEDATA service): states of loop inputs.
// SRD layout:
//   u8  LIFE  bit n set: loop n+1 is reported, its state is LIS n+1
//   then the states of the reported loops only, in loop order, 4 bits each,
//   two per byte, the first in the low half: LIFE 0x2D gives LIS1 and LIS3
//   in the first byte, LIS4 and LIS6 in the second. An odd count leaves the
//   high half of the last byte unused.
// States: see loop_state.h.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_LOOPIN_DATA : public Subrecord_Class {
 public:
  uint8_t LIFE = 0;
  std::array<uint8_t, 8> LIS{};  // LIS[n] is LIS n+1, kept when LIFE bit n is set

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
