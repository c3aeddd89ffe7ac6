#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"

#include <new>

#include "service/ecall/msd_checks.h"
#include "service/ecall/msd_fields.h"
#include "service/field_report.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_ECALL_RAW_MSD_DATA_Decoded::Decode(const uint8_t* srd, uint16_t srl) {
  const uint8_t result = Subrecord_ECALL_RAW_MSD_DATA::Decode(srd, srl);
  msd.reset();
  checks.clear();
  if (result != EGTS_PC_OK) return result;
  if (Format() != kFormatEn15722) {
    checks.push_back(
        Format() == 0
            ? std::string("format 0 (unknown format): the MSD is not decoded")
            : StringPrintf("format %u is not known: the MSD is not decoded", unsigned{Format()}));
    return result;
  }
  msd = Msd::DecodeMsd(srd + 1, srl - 1u);
  checks = msd->findings;
  Msd::AppendMsdChecks(*msd, checks);
  return result;
}

void Subrecord_ECALL_RAW_MSD_DATA_Decoded::Describe(FieldList& fields) const {
  Subrecord_ECALL_RAW_MSD_DATA::Describe(fields);
  if (!msd) return;
  FieldList members;
  Msd::DescribeMsd(*msd, members);
  fields.push_back(Field::Object("msd", std::move(members)));
}

void Subrecord_ECALL_RAW_MSD_DATA_Decoded::Report(std::string* target) const {
  // The subrecord's lines without the checks, which follow the MSD's.
  FieldList own;
  DescribeDeclared(own);
  std::string text = FormatFieldReport(own, {});
  FieldList fields;
  if (msd) Msd::DescribeMsd(*msd, fields);
  text += FormatFieldReport(fields, checks);
  EmitReportPiece(target, text, true);
}

std::unique_ptr<Subrecord_Class> Subrecord_ECALL_RAW_MSD_DATA_Decoded::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow)
                                              Subrecord_ECALL_RAW_MSD_DATA_Decoded(*this));
}

}  // namespace EGTS
