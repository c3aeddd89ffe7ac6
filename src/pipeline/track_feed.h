#pragma once
// Where a source hands the positions of a packet it reported (-g:).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "service/packet.h"
#include "service/subrecord_factory.h"
#include "track/position_extraction.h"
#include "transport/transport_header.h"

class TrackSink;

// The packet's positions recorded in `tracks` (null: nothing happens); the
// lines of the checks that fired ("WARNING: Track ...\n") are returned for
// the source to log as its own. `parsed` is the packet's frame data parsed
// with `set`, or null when it was not parsed; positions need the standard's
// subrecords, so a packet not parsed with them is parsed again here.
// `transportResult` is the header's validating result: a packet whose
// header failed is not read.
std::vector<std::string> FeedTracks(TrackSink* tracks, std::span<const uint8_t> bytes,
                                    uint8_t transportResult, const TransportHeader& header,
                                    const PacketHolder* parsed, EGTS::SubrecordSet set,
                                    const PacketOrigin& origin);
