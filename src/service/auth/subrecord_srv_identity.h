#pragma once
// EGTS_SR_SRV_IDENTITY (SRT 4, authentication service).
// SRD layout:
//   0  u8  ST    service type
//   1  u8  SRVP  service parameters
// Bytes after the second are ignored.

#include <cstddef>
#include <cstdint>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_SRV_IDENTITY : public DeclaredWith<2> {
 public:
  enum Place : std::size_t { kST = 0, kSRVP = 1 };

  Subrecord_SRV_IDENTITY();

  uint8_t ST() const { return static_cast<uint8_t>(Value(kST)); }
  uint8_t SRVP() const { return static_cast<uint8_t>(Value(kSRVP)); }
  void SetST(uint8_t st) { Set(kST, st); }
  void SetSRVP(uint8_t srvp) { Set(kSRVP, srvp); }
};

}  // namespace EGTS
