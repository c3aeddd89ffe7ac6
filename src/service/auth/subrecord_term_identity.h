#pragma once
// EGTS_SR_TERM_IDENTITY (SRT 1, AUTH service): who the terminal is.
// SRD layout (little-endian), optional fields in this order:
//   0  u32  TID     terminal id (0: the terminal is not configured)
//   4  u8   FLG     bit 7 MNE, 6 BSE, 5 NIDE, 4 SSRA, 3 LNGCE, 2 IMSIE,
//                   1 IMEIE, 0 HDIDE
//   5  u16  HDID    home dispatcher id                       if HDIDE
//      15   IMEI    digits                                   if IMEIE
//      16   IMSI    digits                                   if IMSIE
//      3    LNGC    language code ("rus")                    if LNGCE
//      u24  NID     bits 0-9 MNC, 10-19 MCC, 20-23 reserved  if NIDE
//      u16  BS      buffer size                              if BSE
//      15   MSISDN  digits                                   if MNE
// SSRA set: the terminal uses the simple algorithm (all services at once).
// 5 bytes plus those of the flagged fields are needed; fewer give 139.

#include <cstdint>
#include <memory>
#include <string>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_TERM_IDENTITY : public DeclaredWith<19> {
 public:
  // Where each field stands in the declaration.
  enum Index : std::size_t {
    kTID = 0,
    kFLG = 1,
    kHDID = 10,
    kIMEI = 11,
    kIMSI = 12,
    kLNGC = 13,
    kNID = 14,
    kBS = 17,
    kMSISDN = 18
  };

  Subrecord_TERM_IDENTITY();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint32_t TID() const { return Value(kTID); }
  uint8_t FLG() const { return static_cast<uint8_t>(Value(kFLG)); }
  uint16_t HDID() const { return static_cast<uint16_t>(Value(kHDID)); }
  // Texts: the bytes as sent (CP-1251); empty when not flagged.
  const std::string& IMEI() const { return Text(kIMEI); }
  const std::string& IMSI() const { return Text(kIMSI); }
  const std::string& LNGC() const { return Text(kLNGC); }
  uint32_t NID() const { return Value(kNID); }
  uint16_t BS() const { return static_cast<uint16_t>(Value(kBS)); }
  const std::string& MSISDN() const { return Text(kMSISDN); }

  bool HDIDE() const { return FLG() & 0x01; }
  bool IMEIE() const { return FLG() & 0x02; }
  bool IMSIE() const { return FLG() & 0x04; }
  bool LNGCE() const { return FLG() & 0x08; }
  bool SSRA() const { return FLG() & 0x10; }
  bool NIDE() const { return FLG() & 0x20; }
  bool BSE() const { return FLG() & 0x40; }
  bool MNE() const { return FLG() & 0x80; }
  unsigned MCC() const { return (NID() >> 10) & 0x3FF; }
  unsigned MNC() const { return NID() & 0x3FF; }
};

}  // namespace EGTS
