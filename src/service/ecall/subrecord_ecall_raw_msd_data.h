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

#include "service/subrecord_class.h"
#include "transport/bytestream.h"

namespace EGTS {

class Subrecord_ECALL_RAW_MSD_DATA : public Subrecord_Class {
 public:
  // The report shows at most this many data bytes (one more than the
  // 512 after which it marks the data as cut short).
  static constexpr size_t kReportedBytes = 513;

  // Raw MSD bytes (the first position bytes count); none when the SRD held
  // only the format byte. Shared with copies of the object.
  std::shared_ptr<bytestream> data;
  uint8_t Format = 0;

  Subrecord_ECALL_RAW_MSD_DATA() = default;
  Subrecord_ECALL_RAW_MSD_DATA(const Subrecord_ECALL_RAW_MSD_DATA&) = default;
  Subrecord_ECALL_RAW_MSD_DATA& operator=(const Subrecord_ECALL_RAW_MSD_DATA&) = default;
  ~Subrecord_ECALL_RAW_MSD_DATA() override = default;

  // Appends the format byte and the raw bytes.
  uint8_t Encode(bytestream& out) override;
  // 134 for a null srd, 139 for srl 0, 156 when no data stream can be had.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  uint16_t EncodedLength() const override;

 private:
  // Number of raw bytes held: the stream's position, 0 without a stream.
  uint32_t DataSize() const { return data ? data->position : 0; }
};

}  // namespace EGTS
