#pragma once
// EGTS_SR_DISP_IDENTITY (SRT 5, authentication service).
// The subrecord is accepted with any SRD; nothing of it is kept, so encoding
// writes nothing and the report is empty.

#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_DISP_IDENTITY : public Subrecord_Class {
 public:
  Subrecord_DISP_IDENTITY() = default;
  Subrecord_DISP_IDENTITY(const Subrecord_DISP_IDENTITY&) = default;
  Subrecord_DISP_IDENTITY& operator=(const Subrecord_DISP_IDENTITY&) = default;
  ~Subrecord_DISP_IDENTITY() override = default;

  // Writes nothing: a given target is left as it is.
  void Report(std::string* target = nullptr) const override;
};

}  // namespace EGTS
