#pragma once
// EGTS_SR_POS_DATA (SRT 16, TELEDATA service): a navigation fix.
// SRD layout (little-endian), 21 bytes at least:
//   0  u32  NTM   time of the fix, seconds since 2010-01-01 00:00:00 UTC
//   4  u32  LAT   |latitude| / 90 * 0xFFFFFFFF
//   8  u32  LONG  |longitude| / 180 * 0xFFFFFFFF
//  12  u8   FLG   bit 7 ALTE (ALT follows), 6 LOHS (1 west), 5 LAHS (1 south),
//                 4 MV (moving), 3 BB (from the black box), 2 CS (0 WGS-84,
//                 1 PZ-90.02), 1 FIX (0 2D, 1 3D), 0 VLD (valid fix)
//  13  u16  SPD   bits 0-13 speed in 0.1 km/h, bit 14 ALTS (altitude below
//                 sea level), bit 15 DIRH (bit 8 of the heading)
//  15  u8   DIR   heading bits 0-7; heading = DIR + 256 * DIRH degrees
//  16  u24  ODM   odometer in 0.1 km
//  19  u8   DIN   digital inputs 1-8
//  20  u8   SRC   source event code (0-35)
//  21  u24  ALT   altitude in metres                      (only with ALTE)
//  then s16 SRCD  source data, when at least 2 bytes remain: terminals send
//                 it for any SRC, so its presence follows the length.

#include <cstdint>
#include <memory>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_POS_DATA : public Subrecord_Class {
 public:
  uint32_t NTM = 0;
  uint32_t LAT = 0;
  uint32_t LONG = 0;
  uint8_t FLG = 0;
  uint16_t SPD = 0;  // bits 0-13 of the speed word only
  uint8_t ALTS = 0;
  uint8_t DIRH = 0;
  uint8_t DIR = 0;
  uint32_t ODM = 0;
  uint8_t DIN = 0;
  uint8_t SRC = 0;
  uint32_t ALT = 0;  // meaningful when ALTE is set
  bool hasSRCD = false;
  int16_t SRCD = 0;

  bool ALTE() const { return (FLG & 0x80) != 0; }
  bool LOHS() const { return (FLG & 0x40) != 0; }
  bool LAHS() const { return (FLG & 0x20) != 0; }

  // Signed decimal degrees: south and west are negative.
  double Latitude() const;
  double Longitude() const;
  unsigned Heading() const { return DIR + 256u * DIRH; }
  int64_t AltitudeMetres() const { return ALTS ? -static_cast<int64_t>(ALT) : ALT; }

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  bool WriteFields(FieldSink& sink) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

// The name of a source event code (SRC); null for a code without one.
const char* PosSourceName(uint8_t src);

}  // namespace EGTS
