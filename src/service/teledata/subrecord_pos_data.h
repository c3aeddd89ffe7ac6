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

#include <cstddef>
#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_POS_DATA : public DeclaredWith<26> {
 public:
  // Where the fields stand in the declaration.
  enum Place : std::size_t {
    kNTM = 0,
    kLAT = 1,
    kLONG = 3,
    kFLG = 5,
    kSPD = 15,
    kALTS = 16,
    kDIRH = 17,
    kDIR = 18,
    kODM = 20,
    kDIN = 21,
    kSRC = 22,
    kALT = 23,
    kSRCD = 25,
  };

  Subrecord_POS_DATA();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint32_t NTM() const { return Value(kNTM); }
  uint32_t LAT() const { return Value(kLAT); }
  uint32_t LONG() const { return Value(kLONG); }
  uint8_t FLG() const { return static_cast<uint8_t>(Value(kFLG)); }
  uint16_t SPD() const { return static_cast<uint16_t>(Value(kSPD)); }  // speed bits only
  bool ALTS() const { return Value(kALTS) != 0; }
  unsigned DIRH() const { return Value(kDIRH); }
  uint8_t DIR() const { return static_cast<uint8_t>(Value(kDIR)); }
  uint32_t ODM() const { return Value(kODM); }
  uint8_t SRC() const { return static_cast<uint8_t>(Value(kSRC)); }
  uint32_t ALT() const { return Value(kALT); }  // meaningful when ALTE is set

  bool ALTE() const { return (FLG() & 0x80) != 0; }
  bool LOHS() const { return (FLG() & 0x40) != 0; }
  bool LAHS() const { return (FLG() & 0x20) != 0; }

  // Signed decimal degrees: south and west are negative.
  double Latitude() const;
  double Longitude() const;
  unsigned Heading() const { return DIR() + 256u * DIRH(); }
  int64_t AltitudeMetres() const { return ALTS() ? -static_cast<int64_t>(ALT()) : ALT(); }
};

// The name of a source event code (SRC); null for a code without one.
const char* PosSourceName(uint32_t src);

}  // namespace EGTS
