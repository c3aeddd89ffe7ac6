#pragma once
// EGTS_SR_SRV_IDENTITY (SRT 4, authentication service).
// SRD layout:
//   0  u8  ST    service type
//   1  u8  SRVP  service parameters
// Bytes after the second are ignored.

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_SRV_IDENTITY : public Subrecord_Class {
 public:
  uint8_t ST = 0;    // service type
  uint8_t SRVP = 0;  // service parameters

  Subrecord_SRV_IDENTITY() = default;
  Subrecord_SRV_IDENTITY(const Subrecord_SRV_IDENTITY&) = default;
  Subrecord_SRV_IDENTITY& operator=(const Subrecord_SRV_IDENTITY&) = default;
  ~Subrecord_SRV_IDENTITY() override = default;

  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
