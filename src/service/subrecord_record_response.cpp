#include "service/subrecord_record_response.h"

#include "transport/result_codes.h"
#include "transport/text.h"

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

uint16_t Subrecord_RECORD_RESPONSE::EncodedLength() const { return 3; }

}  // namespace EGTS
