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

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"
#include "service/firmware/firmware_object.h"

namespace EGTS {

class Subrecord_SERVICE_PART_DATA : public DeclaredWith<3 + ObjectPlace::kCount> {
 public:
  enum Place : std::size_t { kID = 0, kPN = 1, kEPQ = 2, kObject = 3 };

  Subrecord_SERVICE_PART_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint16_t ID() const { return static_cast<uint16_t>(Value(kID)); }
  uint16_t PN() const { return static_cast<uint16_t>(Value(kPN)); }
  uint16_t EPQ() const { return static_cast<uint16_t>(Value(kEPQ)); }
  // The first part (PN 1) carries the object header.
  bool HasHeader() const { return Present(kObject + ObjectPlace::kHeader); }
  uint16_t WOS() const { return static_cast<uint16_t>(Value(kObject + ObjectPlace::kWOS)); }
  const std::string& OD() const { return Text(kObject + ObjectPlace::kOD); }
  bool WholeObject() const { return PN() == 1 && EPQ() == 1; }
};

}  // namespace EGTS
