#include "service/teledata/subrecord_abs_cntr_data.h"

#include <new>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"

namespace EGTS {

uint8_t Subrecord_ABS_CNTR_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 4)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd, srl);
  CN = in.U8();
  CNV = in.U24();
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_ABS_CNTR_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

void Subrecord_ABS_CNTR_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("CN", CN).Label("Counter Number"));
  fields.push_back(Field::Unsigned("CNV", CNV).Label("Counter Value"));
}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_CNTR_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_ABS_CNTR_DATA(*this));
}

}  // namespace EGTS
