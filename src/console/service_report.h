#pragma once
// The verbose report (-v) of a packet's service layer: the packet-type
// fields, every record and every subrecord with its own report.

#include <cstdint>
#include <string>

#include "service/packet.h"

// `code` is what ParseFrameData returned for the packet in `holder`.
std::string FormatServiceLayerReport(uint8_t code, const PacketHolder& holder);

// "Service Layer Parser: Incorrect Record Data format\n" when the parse found
// the record area malformed; empty otherwise.
std::string MalformedRecordAreaText(const PacketHolder& holder);
