#include "service/teledata/subrecord_ad_sensors_data.h"

#include <new>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kHeadLength = 3;
constexpr std::size_t kAnsLength = 3;

}  // namespace

uint8_t Subrecord_AD_SENSORS_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, kHeadLength)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd, srl);
  DIOE = in.U8();
  DOUT = in.U8();
  ASFE = in.U8();
  const std::size_t required = kHeadLength + CountBits(DIOE) + kAnsLength * CountBits(ASFE);
  if (!RequireLength(checks, srl, required)) return EGTS_PC_INVDATALEN;
  for (unsigned n = 0; n < 8; ++n) {
    if (DIOE & (1u << n)) ADIO[n] = in.U8();
  }
  for (unsigned n = 0; n < 8; ++n) {
    if (ASFE & (1u << n)) ANS[n] = in.U24();
  }
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_AD_SENSORS_DATA::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

void Subrecord_AD_SENSORS_DATA::Describe(FieldList& fields) const {
  fields.push_back(
      Field::Unsigned("DIOE", DIOE).Label("Digital Inputs Exist").Shown(BitString(DIOE, 8) + "b"));
  fields.push_back(
      Field::Unsigned("DOUT", DOUT).Label("Digital Outputs").Shown(BitString(DOUT, 8) + "b"));
  fields.push_back(
      Field::Unsigned("ASFE", ASFE).Label("Analog Sensors Exist").Shown(BitString(ASFE, 8) + "b"));
  for (unsigned n = 0; n < 8; ++n) {
    if (!(DIOE & (1u << n))) continue;
    fields.push_back(Field::Unsigned("ADIO" + std::to_string(n + 1), ADIO[n])
                         .Label("Digital Inputs " + std::to_string(n + 1))
                         .Shown(BitString(ADIO[n], 8) + "b"));
  }
  for (unsigned n = 0; n < 8; ++n) {
    if (!(ASFE & (1u << n))) continue;
    fields.push_back(Field::Unsigned("ANS" + std::to_string(n + 1), ANS[n])
                         .Label("Analog Sensor " + std::to_string(n + 1)));
  }
}

std::unique_ptr<Subrecord_Class> Subrecord_AD_SENSORS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_AD_SENSORS_DATA(*this));
}

}  // namespace EGTS
