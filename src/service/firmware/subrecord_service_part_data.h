#pragma once
// EGTS_SR_SERVICE_PART_DATA (SRT 33, FIRMWARE service): one part of an
// object (firmware or configuration) sent in parts.
// SRD layout (little-endian):
//   0  u16  ID   object id, the same in every part
//   2  u16  PN   part number, 1..EPQ
//   4  u16  EPQ  expected parts, 1..65535
//   6  ODH  object header (see firmware_object.h), only in the first part (PN 1)
//      OD   object data: the rest
// Fewer than 6 bytes, or the first part without room for its header, give 139.
// WOS is checked only when this part is the whole object (PN = EPQ = 1).

#include <cstdint>
#include <string>

#include "service/firmware/firmware_object.h"
#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_SERVICE_PART_DATA : public Subrecord_Class {
 public:
  uint16_t ID = 0;
  uint16_t PN = 0;
  uint16_t EPQ = 0;
  bool odhPresent = false;  // PN 1: the object header comes first
  ObjectDataHeader ODH;
  std::string OD;  // raw object bytes

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;

  bool WholeObject() const { return PN == 1 && EPQ == 1; }
};

}  // namespace EGTS
