#pragma once
// EGTS_SR_AUTH_INFO (SRT 7, AUTH service): the terminal's answer to
// AUTH_PARAMS.
// SRD layout:
//   UNM   user name, up to 32 bytes, then a NUL
//   UPSW  password, up to 32 bytes, then a NUL
//   SS    server sequence, then a NUL; only when bytes remain after UPSW
// Every length decodes (an empty SRD gives empty names, noted as cut off).

#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_AUTH_INFO : public DeclaredWith<3> {
 public:
  Subrecord_AUTH_INFO();

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
