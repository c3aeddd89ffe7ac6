#pragma once
// EGTS_SR_AUTH_INFO (SRT 7, AUTH service): the terminal's answer to
// AUTH_PARAMS.
// SRD layout:
//   UNM   user name, up to 32 bytes, then a NUL
//   UPSW  password, up to 32 bytes, then a NUL
//   SS    server sequence, then a NUL; only when bytes remain after UPSW
// Every length decodes (an empty SRD gives empty names, noted as cut off).

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_AUTH_INFO : public Subrecord_Class {
 public:
  std::string UNM;  // bytes as sent (CP-1251), without the NUL
  std::string UPSW;
  bool ssPresent = false;  // bytes followed UPSW, so SS is there
  std::string SS;

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;
};

}  // namespace EGTS
