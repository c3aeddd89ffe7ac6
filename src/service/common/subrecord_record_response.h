#pragma once
// EGTS_SR_RECORD_RESPONSE (SRT 0, accepted under every service).
// SRD layout (3 bytes):
//   0  u16  CRN  confirmed record number (RN of the confirmed record)
//   2  u8   RST  record status: processing result code of that record
// The record parser fills CRN and RST itself; Decode is the base one.

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_RECORD_RESPONSE : public Subrecord_Class {
 public:
  uint16_t CRN = 0;  // confirmed record number
  uint8_t RST = 0;   // record status

  Subrecord_RECORD_RESPONSE() = default;
  Subrecord_RECORD_RESPONSE(const Subrecord_RECORD_RESPONSE&) = default;
  Subrecord_RECORD_RESPONSE& operator=(const Subrecord_RECORD_RESPONSE&) = default;
  ~Subrecord_RECORD_RESPONSE() override = default;

  uint8_t Encode(bytestream& out) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  bool WriteFields(FieldSink& sink) const override;
  uint16_t EncodedLength() const override;
};

}  // namespace EGTS
