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

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_PASSENGERS_COUNTERS : public Subrecord_Class {
 public:
  uint8_t FLG = 0;
  uint8_t DPR = 0;
  uint8_t DRL = 0;
  uint16_t MADDR = 0;
  std::array<uint8_t, 8> IPQ{};  // IPQ[n] is IPQ n+1, kept when DPR bit n is set
  std::array<uint8_t, 8> OPQ{};  // likewise
  std::vector<uint8_t> PCD;      // with RDF

  bool RDF() const { return (FLG & 0x01) != 0; }

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
