#pragma once
// EGTS_SR_ABS_CNTR_DATA (SRT 25, TELEDATA service): one counter by its
// number. Always 4 bytes (little-endian):
//   0  u8   CN   counter number
//   1  u24  CNV  counter value

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ABS_CNTR_DATA : public Subrecord_Class {
 public:
  uint8_t CN = 0;
  uint32_t CNV = 0;

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
