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
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_TERM_IDENTITY : public Subrecord_Class {
 public:
  uint32_t TID = 0;
  uint8_t FLG = 0;
  uint16_t HDID = 0;
  std::string IMEI;  // bytes as sent (CP-1251), here and in the other texts
  std::string IMSI;
  std::string LNGC;
  uint32_t NID = 0;
  uint16_t BS = 0;
  std::string MSISDN;

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;

  bool HDIDE() const { return FLG & 0x01; }
  bool IMEIE() const { return FLG & 0x02; }
  bool IMSIE() const { return FLG & 0x04; }
  bool LNGCE() const { return FLG & 0x08; }
  bool SSRA() const { return FLG & 0x10; }
  bool NIDE() const { return FLG & 0x20; }
  bool BSE() const { return FLG & 0x40; }
  bool MNE() const { return FLG & 0x80; }
  unsigned MCC() const { return (NID >> 10) & 0x3FF; }
  unsigned MNC() const { return NID & 0x3FF; }
};

}  // namespace EGTS
