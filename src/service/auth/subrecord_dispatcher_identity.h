#pragma once
// EGTS_SR_DISPATCHER_IDENTITY (SRT 5, AUTH service), decoded in full with
// -x; without it the subrecord is accepted and kept as its bytes only
// (EGTS_SR_DISP_IDENTITY, see subrecord_table.cpp).
// SRD layout (little-endian):
//   0  u8   DT    dispatcher type
//   1  u32  DID   dispatcher id
//   5       DSCR  description: the rest of the data, up to 255 bytes
//                 (no NUL of its own)

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_DISPATCHER_IDENTITY : public Subrecord_Class {
 public:
  uint8_t DT = 0;
  uint32_t DID = 0;
  std::string DSCR;  // bytes as sent (CP-1251)

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
