#pragma once
// EGTS_SR_ABS_AN_SENS_DATA (SRT 24, TELEDATA service): one analog sensor by
// its number. Always 4 bytes (little-endian):
//   0  u8   ASN  sensor number
//   1  u24  ASV  sensor value

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ABS_AN_SENS_DATA : public Subrecord_Class {
 public:
  uint8_t ASN = 0;
  uint32_t ASV = 0;

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
