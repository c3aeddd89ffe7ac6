#pragma once
// Checks of what a decoded MSD says, beyond what its decoding found: the
// size cap, a message identifier of 0, VIN characters outside the
// alphabet, positions outside the globe, an unknown time, a direction
// beyond 358 degrees, ERA-GLONASS data under the other version's OID.
// The time against the reception is checked where the reception time is
// known (time_checks.h).

#include <string>
#include <vector>

#include "service/ecall/msd_decoder.h"

namespace EGTS::Msd {

// Appends one text per finding, for the parts the decoding holds.
void AppendMsdChecks(const MsdDecoding& decoding, std::vector<std::string>& checks);

// The complaints about a VIN's characters (I, O, Q and lower case are not
// in its alphabet); "name" names the field in the texts.
void AppendVinChecks(const std::string& vin, const char* name, std::vector<std::string>& checks);

}  // namespace EGTS::Msd
