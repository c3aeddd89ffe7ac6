#include "service/firmware/subrecord_service_part_data.h"

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kFixedLength = 6;

}  // namespace

uint8_t Subrecord_SERVICE_PART_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kFixedLength)) {
    checks.push_back(TooShortCheck(srl, kFixedLength));
    return EGTS_PC_INVDATALEN;
  }
  ID = in.U16();
  PN = in.U16();
  EPQ = in.U16();
  odhPresent = PN == 1;
  if (odhPresent && !in.Has(ObjectDataHeader::kMinLength)) {
    checks.push_back(TooShortCheck(srl, kFixedLength + ObjectDataHeader::kMinLength));
    return EGTS_PC_INVDATALEN;
  }
  if (EPQ == 0) checks.push_back("EPQ 0 is not a number of parts");
  if (PN == 0 || (EPQ != 0 && PN > EPQ)) {
    checks.push_back(StringPrintf("PN %u is outside 1..EPQ (%u)", unsigned{PN}, unsigned{EPQ}));
  }
  if (odhPresent) ODH.Decode(in, checks);
  OD = in.Raw(in.Remaining());
  if (odhPresent && WholeObject()) CheckObjectCrc(ODH.WOS, OD, checks);
  return EGTS_PC_OK;
}

void Subrecord_SERVICE_PART_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("ID", ID).Label("Object ID"));
  fields.push_back(Field::Unsigned("PN", PN).Label("Part Number"));
  fields.push_back(Field::Unsigned("EPQ", EPQ).Label("Expected Parts"));
  if (odhPresent) fields.push_back(ODH.Describe(OD, WholeObject()));
  DescribeObjectData(OD, fields);
}

void Subrecord_SERVICE_PART_DATA::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_PART_DATA::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
