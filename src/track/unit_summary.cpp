#include "track/unit_summary.h"

#include "util/text.h"
#include "util/utc_time.h"

std::string IsoTimeOrEmpty(int64_t ms) {
  const int64_t seconds = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
  return IsoUtcText(seconds, static_cast<int>(ms - seconds * 1000));
}

std::string IsoMillisecondsText(int64_t ms) {
  const std::string text = IsoTimeOrEmpty(ms);
  return text.empty() ? StringPrintf("%lld ms", static_cast<long long>(ms)) : text;
}

namespace {

std::string DurationText(int64_t ms) {
  const int64_t seconds = ms / 1000;
  return StringPrintf("%lld:%.2d:%.2d", static_cast<long long>(seconds / 3600),
                      static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
}

std::string ChecksText(const CheckCounts& checks) {
  std::string text;
  for (std::size_t i = 0; i < checks.size(); ++i) {
    if (checks[i] == 0) continue;
    if (!text.empty()) text += ", ";
    text += StringPrintf("%s %llu", TrackCheckName(static_cast<TrackCheck>(i)),
                         static_cast<unsigned long long>(checks[i]));
  }
  return text.empty() ? "none" : text;
}

}  // namespace

std::string SummaryText(const UnitSummary& summary) {
  std::string text = StringPrintf("Track %s: %llu points", summary.unit.c_str(),
                                  static_cast<unsigned long long>(summary.points));
  const uint64_t invalid = summary.points - summary.validPoints;
  if (invalid != 0) text += StringPrintf(" (%llu not valid)", static_cast<unsigned long long>(invalid));
  if (summary.outOfRange != 0) {
    text += StringPrintf(" (%llu outside the ranges, in no file)",
                         static_cast<unsigned long long>(summary.outOfRange));
  }
  text += StringPrintf(", %.3f km", summary.distanceM / 1000);
  if (summary.firstTimeMs && summary.lastTimeMs) {
    text += " in " + DurationText(*summary.lastTimeMs - *summary.firstTimeMs) + " (" +
            IsoMillisecondsText(*summary.firstTimeMs) + " to " +
            IsoMillisecondsText(*summary.lastTimeMs) + ")";
  }
  if (summary.maxSpeedKmh) text += StringPrintf(", maximum speed %.1f km/h", *summary.maxSpeedKmh);
  return text + "; checks fired: " + ChecksText(summary.checks);
}
