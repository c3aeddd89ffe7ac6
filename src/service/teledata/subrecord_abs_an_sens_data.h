#pragma once
// EGTS_SR_ABS_AN_SENS_DATA (SRT 24, TELEDATA service): one analog sensor by
// its number. Always 4 bytes (little-endian):
//   0  u8   ASN  sensor number
//   1  u24  ASV  sensor value

#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_ABS_AN_SENS_DATA : public DeclaredWith<2> {
 public:
  Subrecord_ABS_AN_SENS_DATA();

  uint8_t ASN() const { return static_cast<uint8_t>(Value(0)); }
  uint32_t ASV() const { return Value(1); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
