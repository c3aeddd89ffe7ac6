#pragma once
// The members of a unit's summary in JSON, shared by the summary object of
// the JSON Lines and the properties of a unit's line in GeoJSON. Internal to
// the track layer (RapidJSON is a private dependency of the core library).

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "track/unit_summary.h"

using TrackJsonWriter = rapidjson::Writer<rapidjson::StringBuffer>;

// "unit", "points", "valid_points", "out_of_range", "distance_m",
// "first_time", "last_time", "time_span_s", "max_speed_kmh" (null where
// unknown) and "checks": [{"kind","count"}] of the checks that fired.
void WriteSummaryMembers(TrackJsonWriter& writer, const UnitSummary& summary);
