#pragma once
// EGTS_SR_ECALL_RAW_MSD_DATA with -x: the subrecord of
// subrecord_ecall_raw_msd_data.h, whose MSD is decoded and checked when its
// format is 1 (EN 15722 / GOST 33464 unaligned PER). The report keeps the
// subrecord's own lines and adds the MSD's below them; the JSON adds
// `msd` beside FORMAT and MSD. Other formats keep their bytes, with a
// check saying that they are not decoded.

#include <memory>
#include <optional>
#include <string>

#include "service/ecall/msd_decoder.h"
#include "service/ecall/subrecord_ecall_raw_msd_data.h"

namespace EGTS {

class Subrecord_ECALL_RAW_MSD_DATA_Decoded : public Subrecord_ECALL_RAW_MSD_DATA {
 public:
  // FM: the MSD is an ECallMessage encoded per GOST 33464 / EN 15722.
  static constexpr uint8_t kFormatEn15722 = 1;

  // The decoding, for format 1.
  std::optional<Msd::MsdDecoding> msd;

  // The subrecord's own decode, then the MSD's with its checks.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
