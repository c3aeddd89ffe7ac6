#pragma once
// EGTS_SR_WRAPPED_DATA (SRT 57, NIP and SMS services).
// SRD layout:
//   0      u8         Flags         carried, not interpreted
//   1      n + 1      Phone Number  n characters (n <= 24), then a zero byte
//   n + 2  rest       data          opaque bytes up to the end of SRD
// The data bytes are held in a shared stream: copies share it.

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_WRAPPED_DATA : public Subrecord_Class {
 public:
  std::shared_ptr<bytestream> data;  // opaque bytes; nullptr when none
  uint8_t Flags = 0;
  std::string PhoneNumber;

  Subrecord_WRAPPED_DATA() = default;
  Subrecord_WRAPPED_DATA(const Subrecord_WRAPPED_DATA&) = default;
  Subrecord_WRAPPED_DATA& operator=(const Subrecord_WRAPPED_DATA&) = default;
  ~Subrecord_WRAPPED_DATA() override = default;

  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
