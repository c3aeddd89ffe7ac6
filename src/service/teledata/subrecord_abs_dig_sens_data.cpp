#include "service/teledata/subrecord_abs_dig_sens_data.h"

#include <new>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_ABS_DIG_SENS_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 2)) return EGTS_PC_INVDATALEN;
  DSST = srd[0] & 0x0F;
  DSN = static_cast<uint16_t>((srd[0] >> 4) | (srd[1] << 4));
  CheckNothingLeft(srl - 2u, checks);
  return EGTS_PC_OK;
}

void Subrecord_ABS_DIG_SENS_DATA::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

void Subrecord_ABS_DIG_SENS_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("DSN", DSN).Label("Sensor Number"));
  fields.push_back(
      Field::Unsigned("DSST", DSST).Label("Sensor State").Shown(BitString(DSST, 4) + "b"));
}

std::unique_ptr<Subrecord_Class> Subrecord_ABS_DIG_SENS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_ABS_DIG_SENS_DATA(*this));
}

}  // namespace EGTS
