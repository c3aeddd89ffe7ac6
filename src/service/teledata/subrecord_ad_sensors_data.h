#pragma once
// EGTS_SR_AD_SENSORS_DATA (SRT 18, TELEDATA service): digital and analog
// inputs.
// SRD layout (little-endian), fields in this order:
//   u8   DIOE  bit n set: ADIO n+1 follows
//   u8   DOUT  digital outputs 1-8
//   u8   ASFE  bit n set: ANS n+1 follows
//   u8   ADIO  one byte (8 more digital inputs) per set DIOE bit, in order
//   u24  ANS   one analog value per set ASFE bit, in order

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_AD_SENSORS_DATA : public Subrecord_Class {
 public:
  uint8_t DIOE = 0;
  uint8_t DOUT = 0;
  uint8_t ASFE = 0;
  std::array<uint8_t, 8> ADIO{};  // ADIO[n] is ADIO n+1, kept when DIOE bit n is set
  std::array<uint32_t, 8> ANS{};  // ANS[n] is ANS n+1, kept when ASFE bit n is set

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
