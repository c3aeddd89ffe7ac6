#pragma once
// A decoded time as a field: "yyyy-mm-ddThh:mm:ssZ" (with milliseconds when
// given), or null when the value has no calendar date.

#include <cstdint>
#include <string>

#include "service/field_list.h"

namespace EGTS {

Field IsoTimeField(std::string name, int64_t unixSeconds, int milliseconds = -1);

}  // namespace EGTS
