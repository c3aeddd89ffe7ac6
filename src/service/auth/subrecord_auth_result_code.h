#pragma once
// EGTS_SR_AUTH_RESULT_CODE (SRT 9, accepted under every service).
// SRD layout:
//   0  u8  RCD  processing result code
// Bytes after the first are ignored.

#include <cstddef>
#include <cstdint>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_AUTH_RESULT_CODE : public DeclaredWith<1> {
 public:
  enum Place : std::size_t { kRCD = 0 };

  Subrecord_AUTH_RESULT_CODE();

  uint8_t RCD() const { return static_cast<uint8_t>(Value(kRCD)); }
  void SetRCD(uint8_t rcd) { Set(kRCD, rcd); }
};

}  // namespace EGTS
