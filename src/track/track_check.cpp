#include "track/track_check.h"

namespace {

struct CheckRow {
  TrackCheck check;
  const char* name;
  const char* level;
};

constexpr CheckRow kChecks[kTrackCheckCount] = {
    {TrackCheck::kImpliedSpeed, "implied_speed", "WARNING"},
    {TrackCheck::kTimeBackwards, "time_backwards", "WARNING"},
    {TrackCheck::kTimeStandsStill, "time_stands_still", "WARNING"},
    {TrackCheck::kZeroPosition, "zero_position", "WARNING"},
    {TrackCheck::kOutOfRange, "out_of_range", "ERROR"},
    {TrackCheck::kSpeedDisagrees, "speed_disagrees", "WARNING"},
    {TrackCheck::kHeadingDisagrees, "heading_disagrees", "WARNING"},
};

}  // namespace

const char* TrackCheckName(TrackCheck check) {
  return kChecks[static_cast<std::size_t>(check)].name;
}

const char* TrackCheckLevel(TrackCheck check) {
  return kChecks[static_cast<std::size_t>(check)].level;
}

std::string FindingLine(const TrackFinding& finding) {
  return finding.level + ": " + finding.text + "\n";
}
