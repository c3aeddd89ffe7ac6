#pragma once
// EGTS_SR_LOGGER_DATA (SRT 56, logger service).
// SRD layout (little-endian):
//   0   u8     Flags
//   1   u32    Value1         carried, not reported
//   5   u16    Value2         carried, not reported
//   7   u8     Type           reported as a character
//   8   u8     Value3         carried, not reported
//   9   u32    Value4         carried, not reported
//   13  c + 1  Component Name c <= 32 characters, then a zero byte
//   ..  m + 1  Module Name    m <= 32; absent when SRD ends before it
//   ..  p + 1  Phone Number   p <= 23; absent when SRD ends before it
//   ..  rest   data           opaque bytes; absent when SRD ends before them
// The data stream holds the opaque bytes followed by one zero byte; copies
// share it.

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_LOGGER_DATA : public Subrecord_Class {
 public:
  uint8_t Flags = 0;
  uint32_t Value1 = 0;
  uint16_t Value2 = 0;
  uint8_t Type = 0;
  uint8_t Value3 = 0;
  uint32_t Value4 = 0;
  std::string ComponentName;
  std::string ModuleName;
  std::string PhoneNumber;
  std::shared_ptr<bytestream> data;  // opaque bytes + zero byte; nullptr when none

  Subrecord_LOGGER_DATA() = default;
  Subrecord_LOGGER_DATA(const Subrecord_LOGGER_DATA&) = default;
  Subrecord_LOGGER_DATA& operator=(const Subrecord_LOGGER_DATA&) = default;
  ~Subrecord_LOGGER_DATA() override = default;

  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
