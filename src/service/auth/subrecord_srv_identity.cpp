#include "service/auth/subrecord_srv_identity.h"

#include "service/subrecord_table.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

// The service's name; null for a number without one.
Field ServiceNameField(std::string name, uint8_t serviceType) {
  const std::string text = ServiceTypeName(serviceType);
  if (text == "unspecified") return Field::Null(std::move(name));
  return Field::Text(std::move(name), text);
}

}  // namespace

uint8_t Subrecord_SRV_IDENTITY::Encode(bytestream& out) {
  out.AppendByte(ST);
  out.AppendByte(SRVP);
  return EGTS_PC_OK;
}

uint8_t Subrecord_SRV_IDENTITY::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < 2) return EGTS_PC_INVDATALEN;
  ST = srd[0];
  SRVP = srd[1];
  return EGTS_PC_OK;
}

void Subrecord_SRV_IDENTITY::Report(std::string* target) const {
  EmitReportPiece(target,
                  StringPrintf("       Service Type           - %u (%s)\n"
                               "       Service Paramemters    - %u\n",
                               unsigned{ST}, ServiceTypeName(ST), unsigned{SRVP}),
                  true);
}

void Subrecord_SRV_IDENTITY::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("ST", ST));
  fields.push_back(ServiceNameField("ST_name", ST));
  fields.push_back(Field::Unsigned("SRVP", SRVP));
}

uint16_t Subrecord_SRV_IDENTITY::EncodedLength() const { return 2; }

}  // namespace EGTS
