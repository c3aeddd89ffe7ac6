#pragma once
// Texts that every packet source prints after the transport header check.

#include <cstdint>
#include <string>

#include "transport/transport_header.h"

// "\nEGTS Transport Layer:\n..." with the code and its text; `prefix`
// stands before it (a client connection puts its id there).
std::string FormatValidatingResult(unsigned code, const char* prefix = "");

// The field-by-field report of a sound header.
std::string FormatTransportReport(const TransportHeader& header);

// The result line, then the report when the code is below 128.
std::string FormatTransportResult(unsigned code, const TransportHeader& header,
                                  const char* prefix = "");
