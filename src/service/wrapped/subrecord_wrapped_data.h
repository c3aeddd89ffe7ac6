#pragma once
// EGTS_SR_WRAPPED_DATA (SRT 57, NIP and SMS services).
// SRD layout:
//   0      u8         Flags         carried, not interpreted
//   1      n + 1      Phone Number  n characters (n <= 24), then a zero byte
//   n + 2  rest       data          opaque bytes up to the end of SRD
// The data bytes are held in a shared stream: copies share it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_WRAPPED_DATA : public DeclaredWith<3> {
 public:
  enum Place : std::size_t { kFlags = 0, kPhoneNumber = 1, kData = 2 };

  std::shared_ptr<bytestream> data;  // opaque bytes; nullptr when none

  // Flags 0, an empty phone number and no data stream.
  Subrecord_WRAPPED_DATA();
  Subrecord_WRAPPED_DATA(const Subrecord_WRAPPED_DATA&) = default;
  Subrecord_WRAPPED_DATA& operator=(const Subrecord_WRAPPED_DATA&) = delete;
  ~Subrecord_WRAPPED_DATA() override = default;

  // 139 for SRL below 2, a phone number without its zero byte inside SRD or
  // longer than 24 characters, or no room for the data stream.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;

  uint8_t Flags() const { return static_cast<uint8_t>(Value(kFlags)); }
  const std::string& PhoneNumber() const { return Text(kPhoneNumber); }
  void SetFlags(uint8_t flags) { Set(kFlags, flags); }
  void SetPhoneNumber(std::string number) { SetText(kPhoneNumber, std::move(number)); }

 protected:
  std::shared_ptr<bytestream>* SharedStream() override { return &data; }
  const std::shared_ptr<bytestream>* SharedStream() const override { return &data; }
};

}  // namespace EGTS
