#pragma once
// EGTS_SR_ECALL_RAW_MSD_DATA (SRT 40, EGTS_ECALL_SERVICE): the minimum set
// of data of an emergency call as an opaque block. SRD:
//
//   0   1     Format
//   1   rest  raw MSD bytes, possibly none

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_ECALL_RAW_MSD_DATA : public DeclaredWith<2> {
 public:
  enum Place : std::size_t { kFormat = 0, kMsd = 1 };

  // The report shows at most this many data bytes (one more than the
  // 512 after which it marks the data as cut short).
  static constexpr size_t kReportedBytes = 513;

  // Raw MSD bytes (the first position bytes count); none when the SRD held
  // only the format byte. Shared with copies of the object.
  std::shared_ptr<bytestream> data;

  // Format 0 and no data stream.
  Subrecord_ECALL_RAW_MSD_DATA();
  Subrecord_ECALL_RAW_MSD_DATA(const Subrecord_ECALL_RAW_MSD_DATA&) = default;
  Subrecord_ECALL_RAW_MSD_DATA& operator=(const Subrecord_ECALL_RAW_MSD_DATA&) = delete;
  ~Subrecord_ECALL_RAW_MSD_DATA() override = default;

  // 134 for a null srd, 139 for srl 0, 156 when no data stream can be had.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;

  uint8_t Format() const { return static_cast<uint8_t>(Value(kFormat)); }
  void SetFormat(uint8_t format) { Set(kFormat, format); }

 protected:
  std::shared_ptr<bytestream>* SharedStream() override { return &data; }
  const std::shared_ptr<bytestream>* SharedStream() const override { return &data; }
};

}  // namespace EGTS
