#pragma once
// EGTS_SR_ABS_CNTR_DATA (SRT 25, TELEDATA service): one counter by its
// number. Always 4 bytes (little-endian):
//   0  u8   CN   counter number
//   1  u24  CNV  counter value

#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_ABS_CNTR_DATA : public DeclaredWith<2> {
 public:
  Subrecord_ABS_CNTR_DATA();

  uint8_t CN() const { return static_cast<uint8_t>(Value(0)); }
  uint32_t CNV() const { return Value(1); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
