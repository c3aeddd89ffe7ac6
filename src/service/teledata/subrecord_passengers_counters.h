#pragma once
// EGTS_SR_PASSENGERS_COUNTERS (SRT 28, TELEDATA service): passengers in and
// out per door.
// SRD layout (little-endian):
//   0  u8   FLG    bit 0 RDF (raw data follows); bits 1-7 reserved
//   1  u8   DPR    bit n set: door n+1 has counters
//   2  u8   DRL    bit n set: door n+1 was opened
//   3  u16  MADDR  module address
//   5  without RDF, per set DPR bit in door order: u8 IPQ (in), u8 OPQ (out);
//      with RDF, PCD: raw bytes (2 to 512) to the end of the SRD

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_PASSENGERS_COUNTERS : public DeclaredWith<22> {
 public:
  Subrecord_PASSENGERS_COUNTERS();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint8_t FLG() const { return static_cast<uint8_t>(Value(0)); }
  bool RDF() const { return (FLG() & 0x01) != 0; }
};

}  // namespace EGTS
