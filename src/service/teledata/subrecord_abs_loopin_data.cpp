#include "service/teledata/subrecord_abs_loopin_data.h"

#include <new>

#include "service/teledata/loop_state.h"
#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_ABS_LOOPIN_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 2)) return EGTS_PC_INVDATALEN;
  LIS = srd[0] & 0x0F;
  LIN = static_cast<uint16_t>((srd[0] >> 4) | (srd[1] << 4));
  CheckNothingLeft(srl - 2u, checks);
  if (LoopStateName(LIS) == nullptr) {
    checks.push_back(StringPrintf("LIS %u is not a known loop state", unsigned{LIS}));
  }
  return EGTS_PC_OK;
}

void Subrecord_ABS_LOOPIN_DATA::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

void Subrecord_ABS_LOOPIN_DATA::Describe(FieldList& fields) const {
  const char* name = LoopStateName(LIS);
  fields.push_back(Field::Unsigned("LIN", LIN).Label("Loop Number"));
  fields.push_back(Field::Unsigned("LIS", LIS).Label("Loop State").Shown(CodeText(LIS, name)));
  if (name) fields.push_back(Field::Text("LIS_name", name));
}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_LOOPIN_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_ABS_LOOPIN_DATA(*this));
}

}  // namespace EGTS
