#pragma once
// EGTS_SR_COUNTERS_DATA (SRT 19, TELEDATA service): counting inputs.
// SRD layout (little-endian), fields in this order:
//   u8   CFE  bit n set: CN n+1 follows
//   u24  CN   one counter value per set CFE bit, in order

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_COUNTERS_DATA : public DeclaredWith<9> {
 public:
  Subrecord_COUNTERS_DATA();

  uint8_t CFE() const { return static_cast<uint8_t>(Value(0)); }
  // Counter n+1 (n from 0 to 7); 0 when CFE bit n is clear.
  uint32_t CN(unsigned n) const { return Value(1 + n); }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
