#pragma once
// EGTS_SR_SERVICE_FULL_DATA (SRT 34, FIRMWARE service): a whole object
// (firmware or configuration) in one subrecord.
// SRD layout:
//   0  ODH  object header (see firmware_object.h), 7 bytes and more
//      OD   object data: the rest; WOS is its CRC-16/CCITT
// Fewer than 7 bytes give 139.

#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"
#include "service/firmware/firmware_object.h"

namespace EGTS {

class Subrecord_SERVICE_FULL_DATA : public DeclaredWith<ObjectPlace::kCount> {
 public:
  Subrecord_SERVICE_FULL_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint16_t WOS() const { return static_cast<uint16_t>(Value(ObjectPlace::kWOS)); }
  const std::string& OD() const { return Text(ObjectPlace::kOD); }
};

}  // namespace EGTS
