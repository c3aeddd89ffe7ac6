#include "service/common/subrecord_record_response.h"

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_RECORD_RESPONSE::Encode(bytestream& out) {
  out.AppendU16(CRN);
  out.AppendByte(RST);
  return EGTS_PC_OK;
}

void Subrecord_RECORD_RESPONSE::Report(std::string* target) const {
  EmitReportPiece(target,
                  StringPrintf("       Confirmed Record Number- %u\n"
                               "       Record Status          - %u (%s)\n",
                               unsigned{CRN}, unsigned{RST}, ResultCodeText(RST)),
                  true);
}

void Subrecord_RECORD_RESPONSE::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("CRN", CRN));
  fields.push_back(Field::Unsigned("RST", RST));
  fields.push_back(Field::Text("RST_text", ResultCodeText(RST)));
}

bool Subrecord_RECORD_RESPONSE::WriteFields(FieldSink& sink) const {
  sink.Unsigned("CRN", CRN);
  sink.Unsigned("RST", RST);
  sink.Text("RST_text", ResultCodeText(RST));
  return true;
}

uint16_t Subrecord_RECORD_RESPONSE::EncodedLength() const { return 3; }

}  // namespace EGTS
