#pragma once
// EGTS_SR_SERVICE_FULL_DATA (SRT 34, FIRMWARE service): a whole object
// (firmware or configuration) in one subrecord.
// SRD layout:
//   0  ODH  object header (see firmware_object.h), 7 bytes and more
//      OD   object data: the rest; WOS is its CRC-16/CCITT
// Fewer than 7 bytes give 139.

#include <cstdint>
#include <string>

#include "service/firmware/firmware_object.h"
#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_SERVICE_FULL_DATA : public Subrecord_Class {
 public:
  ObjectDataHeader ODH;
  std::string OD;  // raw object bytes

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
