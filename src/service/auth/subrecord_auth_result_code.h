#pragma once
// EGTS_SR_AUTH_RESULT_CODE (SRT 9, accepted under every service).
// SRD layout:
//   0  u8  RCD  processing result code
// Bytes after the first are ignored.

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_AUTH_RESULT_CODE : public Subrecord_Class {
 public:
  uint8_t RCD = 0;  // result code

  Subrecord_AUTH_RESULT_CODE() = default;
  Subrecord_AUTH_RESULT_CODE(const Subrecord_AUTH_RESULT_CODE&) = default;
  Subrecord_AUTH_RESULT_CODE& operator=(const Subrecord_AUTH_RESULT_CODE&) = default;
  ~Subrecord_AUTH_RESULT_CODE() override = default;

  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
