#pragma once
// EGTS_SR_ABS_LOOPIN_DATA (SRT 26, TELEDATA service): one loop input by its
// number. Always 2 bytes:
//   0  bits 0-3 LIS (state, see loop_state.h), bits 4-7 the low 4 bits of LIN
//   1  the high 8 bits of LIN (loop number, 12 bits)

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ABS_LOOPIN_DATA : public Subrecord_Class {
 public:
  uint8_t LIS = 0;   // 4 bits
  uint16_t LIN = 0;  // 12 bits

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
