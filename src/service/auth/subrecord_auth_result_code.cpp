#include "service/auth/subrecord_auth_result_code.h"

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_AUTH_RESULT_CODE::Encode(bytestream& out) {
  out.AppendByte(RCD);
  return EGTS_PC_OK;
}

uint8_t Subrecord_AUTH_RESULT_CODE::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl == 0) return EGTS_PC_INVDATALEN;
  RCD = srd[0];
  return EGTS_PC_OK;
}

void Subrecord_AUTH_RESULT_CODE::Report(std::string* target) const {
  EmitReportPiece(target,
                  StringPrintf("       Result Code            - %u (%s)\n", unsigned{RCD},
                               ResultCodeText(RCD)),
                  true);
}

void Subrecord_AUTH_RESULT_CODE::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("RCD", RCD));
  fields.push_back(Field::Text("RCD_text", ResultCodeText(RCD)));
}

uint16_t Subrecord_AUTH_RESULT_CODE::EncodedLength() const { return 1; }

}  // namespace EGTS
