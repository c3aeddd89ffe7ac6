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
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_DISPATCHER_IDENTITY : public DeclaredWith<3> {
 public:
  Subrecord_DISPATCHER_IDENTITY();

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
