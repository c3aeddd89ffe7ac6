#pragma once
// EGTS_SR_EXT_POS_DATA (SRT 17, TELEDATA service): quality of a fix.
// SRD layout (little-endian), fields in this order:
//   u8   FLG   bit 4 NSFE, 3 SFE, 2 PFE, 1 HFE, 0 VFE; bits 5-7 reserved
//   u16  VDOP  vertical dilution * 100                       (only with VFE)
//   u16  HDOP  horizontal dilution * 100                     (only with HFE)
//   u16  PDOP  position dilution * 100                       (only with PFE)
//   u8   SAT   satellites in view                            (only with SFE)
//   u16  NS    navigation systems: bit 0 GLONASS, 1 GPS, 2 Galileo,
//              3 Compass, 4 Beidou, 5 DORIS, 6 IRNSS, 7 QZSS (only with NSFE)
// NS follows NSFE, not SFE: terminals send it that way.

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_EXT_POS_DATA : public DeclaredWith<11> {
 public:
  Subrecord_EXT_POS_DATA();

  uint8_t FLG() const { return static_cast<uint8_t>(Value(0)); }
  uint16_t VDOP() const { return static_cast<uint16_t>(Value(6)); }
  uint16_t HDOP() const { return static_cast<uint16_t>(Value(7)); }
  uint16_t PDOP() const { return static_cast<uint16_t>(Value(8)); }
  uint8_t SAT() const { return static_cast<uint8_t>(Value(9)); }
  uint16_t NS() const { return static_cast<uint16_t>(Value(10)); }

  bool VFE() const { return (FLG() & 0x01) != 0; }
  bool HFE() const { return (FLG() & 0x02) != 0; }
  bool PFE() const { return (FLG() & 0x04) != 0; }
  bool SFE() const { return (FLG() & 0x08) != 0; }
  bool NSFE() const { return (FLG() & 0x10) != 0; }

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
