#include "service/subrecord_srv_identity.h"

#include "service/service_names.h"
#include "transport/result_codes.h"
#include "transport/text.h"

namespace EGTS {

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

uint16_t Subrecord_SRV_IDENTITY::EncodedLength() const { return 2; }

}  // namespace EGTS
