#pragma once
// EGTS_SR_COUNTERS_DATA (SRT 19, TELEDATA service): counting inputs.
// SRD layout (little-endian), fields in this order:
//   u8   CFE  bit n set: CN n+1 follows
//   u24  CN   one counter value per set CFE bit, in order

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_COUNTERS_DATA : public Subrecord_Class {
 public:
  uint8_t CFE = 0;
  std::array<uint32_t, 8> CN{};  // CN[n] is CN n+1, kept when CFE bit n is set

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
