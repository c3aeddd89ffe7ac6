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
// A text absent on the wire is held (and encoded) empty. The data stream
// holds the opaque bytes followed by one zero byte; copies share it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_LOGGER_DATA : public DeclaredWith<10> {
 public:
  enum Place : std::size_t {
    kFlags = 0,
    kValue1 = 1,
    kValue2 = 2,
    kType = 3,
    kValue3 = 4,
    kValue4 = 5,
    kComponentName = 6,
    kModuleName = 7,
    kPhoneNumber = 8,
    kData = 9
  };

  std::shared_ptr<bytestream> data;  // opaque bytes + zero byte; nullptr when none

  // All numbers 0, empty texts and no data stream.
  Subrecord_LOGGER_DATA();
  Subrecord_LOGGER_DATA(const Subrecord_LOGGER_DATA&) = default;
  Subrecord_LOGGER_DATA& operator=(const Subrecord_LOGGER_DATA&) = delete;
  ~Subrecord_LOGGER_DATA() override = default;

  // 139 for SRL below 17, a text without its zero byte inside SRD, a name
  // longer than 32 characters or a phone number longer than 23; 156 when
  // no data stream can be had.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;

  uint8_t Flags() const { return static_cast<uint8_t>(Value(kFlags)); }
  uint32_t Value1() const { return Value(kValue1); }
  uint16_t Value2() const { return static_cast<uint16_t>(Value(kValue2)); }
  uint8_t Type() const { return static_cast<uint8_t>(Value(kType)); }
  uint8_t Value3() const { return static_cast<uint8_t>(Value(kValue3)); }
  uint32_t Value4() const { return Value(kValue4); }
  const std::string& ComponentName() const { return Text(kComponentName); }
  const std::string& ModuleName() const { return Text(kModuleName); }
  const std::string& PhoneNumber() const { return Text(kPhoneNumber); }

 protected:
  std::shared_ptr<bytestream>* SharedStream() override { return &data; }
  const std::shared_ptr<bytestream>* SharedStream() const override { return &data; }
};

}  // namespace EGTS
