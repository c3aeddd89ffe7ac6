#pragma once
// Numbers for the track files: fixed notation rounded to a number of places,
// without trailing zeros and without an exponent (xsd:decimal takes none),
// the same in every locale.

#include <string>

std::string DecimalText(double value, int places);
