#pragma once
// Where the pipeline hands the positions of a packet (-g:).

#include <string>
#include <vector>

#include "service/packet.h"
#include "session/finding.h"
#include "track/position_extraction.h"
#include "transport/transport_header.h"

class TrackSink;

// The positions of a parsed packet recorded in `tracks` (null: nothing
// happens); the checks that fired are returned for the source to log as its
// own. `parsed` must hold the frame
// data parsed with the standard's subrecords (POS_DATA has no object
// otherwise).
session::Findings FeedTracks(TrackSink* tracks, const PacketHolder& parsed,
                                    const TransportHeader& header, const PacketOrigin& origin);
