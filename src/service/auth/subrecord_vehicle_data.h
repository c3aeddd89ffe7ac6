#pragma once
// EGTS_SR_VEHICLE_DATA (SRT 3, AUTH service): the vehicle the terminal is in.
// SRD layout (little-endian), 25 bytes:
//   0  17   VIN   vehicle identification number
//  17  u32  VHT   bits 0-4 vehicle class: 1 M1, 2 M2, 3 M3, 4 N1, 5 N2,
//                 6 N3, 7-13 L1e-L7e; bits 5-31 reserved
//  21  u32  VPST  propulsion storage: bit 0 petrol, 1 diesel, 2 CNG, 3 LPG,
//                 4 electric, 5 hydrogen; bits 6-31 reserved

#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_VEHICLE_DATA : public DeclaredWith<3> {
 public:
  Subrecord_VEHICLE_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  const std::string& VIN() const { return Text(0); }  // the bytes as sent (CP-1251)
  uint32_t VHT() const { return Value(1); }
  uint32_t VPST() const { return Value(2); }
};

}  // namespace EGTS
