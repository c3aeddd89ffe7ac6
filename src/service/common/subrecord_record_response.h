#pragma once
// EGTS_SR_RECORD_RESPONSE (SRT 0, accepted under every service).
// SRD layout (3 bytes):
//   0  u16  CRN  confirmed record number (RN of the confirmed record)
//   2  u8   RST  record status: processing result code of that record
// Bytes after the third are ignored.

#include <cstddef>
#include <cstdint>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_RECORD_RESPONSE : public DeclaredWith<2> {
 public:
  enum Place : std::size_t { kCRN = 0, kRST = 1 };

  Subrecord_RECORD_RESPONSE();

  uint16_t CRN() const { return static_cast<uint16_t>(Value(kCRN)); }
  uint8_t RST() const { return static_cast<uint8_t>(Value(kRST)); }
  void SetCRN(uint16_t crn) { Set(kCRN, crn); }
  void SetRST(uint8_t rst) { Set(kRST, rst); }
};

}  // namespace EGTS
