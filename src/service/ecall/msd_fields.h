#pragma once
// A decoded MSD described once as fields, for the JSON (`data.msd`) and the
// text block under RAW_MSD_DATA alike. Keys are the ASN.1 names
// (messageIdentifier, vehicleIdentificationNumber, positionLatitude ...),
// decoded values beside them in lower case (time, latitude, heading,
// vehicleType_name ...); labels and value texts follow the ECALL_MSD_DATA
// report (positions in degrees and as given, times as
// "dd.mm.yyyy hh:mm:ss GMT"). Only the parts the decoding holds are
// described, and an OPTIONAL item that was not sent is left out.

#include "service/ecall/msd_decoder.h"
#include "service/field_list.h"

namespace EGTS::Msd {

void DescribeMsd(const MsdDecoding& decoding, FieldList& fields);

}  // namespace EGTS::Msd
