#pragma once
// EGTS_SR_ABS_DIG_SENS_DATA (SRT 23, TELEDATA service): one digital sensor
// by its number. Always 2 bytes:
//   0  bits 0-3 DSST (state), bits 4-7 the low 4 bits of DSN
//   1  the high 8 bits of DSN (sensor number, 12 bits)

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ABS_DIG_SENS_DATA : public Subrecord_Class {
 public:
  uint8_t DSST = 0;  // 4 bits
  uint16_t DSN = 0;  // 12 bits

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
