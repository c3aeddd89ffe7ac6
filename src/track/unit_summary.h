#pragma once
// What a unit's track came to: the summary printed at the end of a run, and
// carried by the track files.

#include <cstdint>
#include <optional>
#include <string>

#include "track/track_check.h"

struct UnitSummary {
  std::string unit;
  uint64_t points = 0;        // every position the unit reported
  uint64_t validPoints = 0;   // of those, valid fixes
  uint64_t outOfRange = 0;    // positions outside the ranges: in no file
  // Geodesic length of the line through its sound positions, in order.
  double distanceM = 0;
  // Earliest and latest navigation time of its sound positions.
  std::optional<int64_t> firstTimeMs;
  std::optional<int64_t> lastTimeMs;
  // Highest reported speed of its sound positions.
  std::optional<double> maxSpeedKmh;
  CheckCounts checks{};
};

// "Track OID 4711: 120 points (2 not valid), 12.346 km in 00:10:00
// (2026-12-08T08:00:00.000Z to 2026-12-08T08:10:00.000Z), maximum speed
// 90.0 km/h; checks fired: implied_speed 1" (one line, no line end).
std::string SummaryText(const UnitSummary& summary);

// "yyyy-mm-ddThh:mm:ss.mmmZ" of milliseconds since 1970 (UTC); empty where
// the value has no calendar date in years 0..9999.
std::string IsoTimeOrEmpty(int64_t ms);
// The same, with the number and " ms" where it has no calendar date.
std::string IsoMillisecondsText(int64_t ms);
