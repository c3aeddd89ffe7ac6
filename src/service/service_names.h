#pragma once
// Names of the EGTS service types, as shown in reports.

#include <cstdint>

// The name of a service type number; "unspecified" for numbers without one.
const char* ServiceTypeName(uint16_t serviceType);
