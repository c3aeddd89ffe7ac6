#pragma once
// Value texts for the reports of the standard's further subrecords, made
// with integer arithmetic: a report line is built for every decoded
// subrecord, and printf of a double costs more than the whole decode.

#include <cstdint>
#include <string>

namespace EGTS {

// A count of 10^-decimals units as a fixed-point number: (106, 1) is "10.6".
std::string ScaledText(uint64_t units, unsigned decimals);

// Signed degrees with six decimals, rounded: "-51.675694".
std::string DegreesText(double degrees);

// "3 (reply to a request)", or "3" without a name.
std::string CodeText(unsigned value, const char* name);

}  // namespace EGTS
