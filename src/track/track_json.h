#pragma once
// A unit's track summary as one JSON Lines object:
// {"type":"track","unit":...,"points":n,"valid_points":n,"out_of_range":n,
//  "distance_m":x,"first_time":t|null,"last_time":t|null,"time_span_s":x|null,
//  "max_speed_kmh":x|null,"checks":[{"kind":...,"count":n}]}
// (schema/korvane.schema.json, $defs/track). No line end.

#include <string>

#include "track/unit_summary.h"

std::string TrackSummaryJsonLine(const UnitSummary& summary);
