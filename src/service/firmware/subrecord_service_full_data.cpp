#include "service/firmware/subrecord_service_full_data.h"

#include "transport/result_codes.h"

namespace EGTS {

uint8_t Subrecord_SERVICE_FULL_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(ObjectDataHeader::kMinLength)) {
    checks.push_back(TooShortCheck(srl, ObjectDataHeader::kMinLength));
    return EGTS_PC_INVDATALEN;
  }
  ODH.Decode(in, checks);
  OD = in.Raw(in.Remaining());
  CheckObjectCrc(ODH.WOS, OD, checks);
  return EGTS_PC_OK;
}

void Subrecord_SERVICE_FULL_DATA::Describe(FieldList& fields) const {
  fields.push_back(ODH.Describe(OD, true));
  DescribeObjectData(OD, fields);
}

void Subrecord_SERVICE_FULL_DATA::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_FULL_DATA::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
