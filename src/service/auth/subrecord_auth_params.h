#pragma once
// EGTS_SR_AUTH_PARAMS (SRT 6, AUTH service; platform to terminal): what the
// terminal needs for extended authorization.
// SRD layout (little-endian), optional fields in this order:
//   0  u8   FLG  bit 7 reserved, 6 EXE, 5 SSE, 4 MSE, 3 ISLE, 2 PKE,
//                bits 1-0 ENA (encryption algorithm, 0: none)
//      u16  PKL  public key length                  if PKE
//           PBK  public key, PKL bytes              if PKE
//      u16  ISL  identity string length             if ISLE
//      u16  MSZ  modulus size                       if MSE
//           SS   server sequence, NUL-terminated    if SSE
//           EXP  exponent, NUL-terminated           if EXE
// The numbers and the key must be present (else 139); a string cut off by
// the end of the data is kept and noted.

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_AUTH_PARAMS : public DeclaredWith<13> {
 public:
  Subrecord_AUTH_PARAMS();

  std::unique_ptr<Subrecord_Class> Clone() const override;

  uint8_t FLG() const { return static_cast<uint8_t>(Value(0)); }
  unsigned ENA() const { return FLG() & 0x03; }
  bool PKE() const { return FLG() & 0x04; }
  bool ISLE() const { return FLG() & 0x08; }
  bool MSE() const { return FLG() & 0x10; }
  bool SSE() const { return FLG() & 0x20; }
  bool EXE() const { return FLG() & 0x40; }
};

}  // namespace EGTS
