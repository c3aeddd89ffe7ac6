#pragma once
// The verbose report (-v) of a packet's service layer: the packet-type
// fields, every record and every subrecord with its own report.

#include <cstdint>
#include <string>

#include "service/packet.h"
#include "service/subrecord_factory.h"

// `code` is what ParseFrameData returned for the packet in `holder`. With
// the standard's subrecords (-x) the record lines also show the flags of
// RFL, every service has a name, an entry without object shows its bytes,
// and every finding of a check is a line of its own; `receivedUnix` (seconds
// since 1970) is when the packet came, for the checks of times.
std::string FormatServiceLayerReport(uint8_t code, const PacketHolder& holder,
                                     EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal,
                                     int64_t receivedUnix = 0);

// "Service Layer Parser: Incorrect Record Data format\n" when the parse found
// the record area malformed; empty otherwise. With -x also when the parse
// stopped where a header or a length ran past the bytes.
std::string MalformedRecordAreaText(const PacketHolder& holder,
                                    EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal);
