#include "track/sense_checks.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "util/text.h"
#include "track/unit_summary.h"

namespace {

constexpr double kFullCircle = 360;
constexpr double kMsPerS = 1000;
constexpr double kMsToKmh = 3.6;  // metres per second to km/h

double Seconds(int64_t ms) { return static_cast<double>(ms) / kMsPerS; }

Judgement Holds(std::string seen) { return {Verdict::kHolds, std::move(seen)}; }
Judgement Clear() { return {Verdict::kClear, {}}; }
Judgement Unknown() { return {}; }

}  // namespace

double AngleBetween(double aDeg, double bDeg) {
  const double difference = std::fmod(std::fabs(aDeg - bDeg), kFullCircle);
  return difference > 180 ? kFullCircle - difference : difference;
}

double MeanDirection(double aDeg, double bDeg) {
  const double radians = std::numbers::pi / 180;
  const double x = std::cos(aDeg * radians) + std::cos(bDeg * radians);
  const double y = std::sin(aDeg * radians) + std::sin(bDeg * radians);
  const double mean = std::atan2(y, x) / radians;
  return mean < 0 ? mean + kFullCircle : mean;
}

Motion MotionOf(const TrackPoint& point) {
  Motion motion;
  motion.latitude = point.latitude;
  motion.longitude = point.longitude;
  motion.timeMs = point.timeMs;
  motion.speedKmh = point.speedKmh;
  if (point.headingDeg && *point.headingDeg >= 0 && *point.headingDeg < kFullCircle) {
    motion.headingDeg = point.headingDeg;
  }
  return motion;
}

bool PositionInRange(const TrackPoint& point) {
  return std::isfinite(point.latitude) && std::isfinite(point.longitude) &&
         std::fabs(point.latitude) <= 90 && std::fabs(point.longitude) <= 180;
}

Judgement JudgeZeroPosition(const TrackPoint& point, const SenseBounds& bounds) {
  if (!point.valid) return Unknown();
  if (std::fabs(point.latitude) < bounds.zeroDegrees &&
      std::fabs(point.longitude) < bounds.zeroDegrees) {
    return Holds(StringPrintf("valid fix at latitude %.6f, longitude %.6f (0 N 0 E)",
                              point.latitude, point.longitude));
  }
  return Clear();
}

Judgement JudgeOutOfRange(const TrackPoint& point) {
  if (!PositionInRange(point)) {
    return Holds(StringPrintf("latitude %.6f, longitude %.6f outside -90..90, -180..180",
                              point.latitude, point.longitude));
  }
  if (point.headingDeg && (*point.headingDeg < 0 || *point.headingDeg >= kFullCircle)) {
    return Holds(StringPrintf("heading %.0f degrees outside 0..359", *point.headingDeg));
  }
  return Clear();
}

Judgement JudgeImpliedSpeed(const Motion& before, const Motion& now, const GeodesicStep& step,
                            const SenseBounds& bounds) {
  if (!before.timeMs || !now.timeMs || *now.timeMs <= *before.timeMs) return Unknown();
  const double seconds = Seconds(*now.timeMs - *before.timeMs);
  const double kmh = step.distanceM / seconds * kMsToKmh;
  if (kmh <= bounds.speedKmh) return Clear();
  return Holds(StringPrintf("%.0f m in %.1f s implies %.0f km/h, above %.0f km/h",
                            step.distanceM, seconds, kmh, bounds.speedKmh));
}

Judgement JudgeTimeBackwards(const Motion& before, const Motion& now) {
  if (!before.timeMs || !now.timeMs) return Unknown();
  if (*now.timeMs >= *before.timeMs) return Clear();
  return Holds("navigation time goes back from " + IsoMillisecondsText(*before.timeMs) + " to " +
               IsoMillisecondsText(*now.timeMs));
}

Judgement JudgeTimeStandsStill(const Motion& before, const Motion& now, const GeodesicStep& step,
                               const SenseBounds& bounds) {
  if (!before.timeMs || !now.timeMs) return Unknown();
  if (*now.timeMs != *before.timeMs || step.distanceM <= bounds.standsStillM) return Clear();
  return Holds(StringPrintf("navigation time stands at %s while the position moves %.0f m",
                            IsoMillisecondsText(*now.timeMs).c_str(), step.distanceM));
}

Judgement JudgeHeading(const Motion& before, const Motion& now, const GeodesicStep& step,
                       const SenseBounds& bounds) {
  if (!before.timeMs || !now.timeMs || !before.headingDeg || !now.headingDeg ||
      !before.speedKmh || !now.speedKmh) {
    return Unknown();
  }
  const double seconds = Seconds(*now.timeMs - *before.timeMs);
  if (seconds <= 0 || seconds > bounds.headingGapS || step.distanceM < bounds.headingStepM ||
      *before.speedKmh < bounds.headingSpeedKmh || *now.speedKmh < bounds.headingSpeedKmh ||
      AngleBetween(*before.headingDeg, *now.headingDeg) > bounds.headingTurnDeg) {
    return Unknown();
  }
  const double heading = MeanDirection(*before.headingDeg, *now.headingDeg);
  const double travelled = MeanDirection(step.azimuthStart, step.azimuthEnd);
  if (AngleBetween(heading, travelled) <= bounds.headingDeg) return Clear();
  return Holds(StringPrintf("heading %.0f degrees, but the unit travelled towards %.0f degrees "
                            "(%.0f m in %.1f s)",
                            *now.headingDeg, travelled, step.distanceM, seconds));
}

void SpeedWindow::Restart() {
  entries_.clear();
  pathM_ = 0;
  speedTime_ = 0;
}

void SpeedWindow::DropFront() {
  entries_.pop_front();
  if (entries_.empty()) return;
  // The new first entry's step now lies before the window.
  pathM_ -= entries_.front().stepM;
  speedTime_ -= entries_.front().speedTimeKm;
  entries_.front().stepM = 0;
  entries_.front().speedTimeKm = 0;
}

Judgement SpeedWindow::Add(const Motion& now, const GeodesicStep* step) {
  if (!now.timeMs || !now.speedKmh) {
    Restart();
    return Unknown();
  }
  if (!entries_.empty()) {
    const Entry& last = entries_.back();
    const double seconds = Seconds(*now.timeMs - last.timeMs);
    if (step == nullptr || seconds <= 0 || seconds > bounds_.windowGapS) Restart();
  }
  Entry entry{*now.timeMs, *now.speedKmh, 0, 0};
  if (!entries_.empty()) {
    const Entry& last = entries_.back();
    entry.stepM = step->distanceM;
    entry.speedTimeKm = (last.speedKmh + entry.speedKmh) / 2 * Seconds(entry.timeMs - last.timeMs);
    pathM_ += entry.stepM;
    speedTime_ += entry.speedTimeKm;
  }
  entries_.push_back(entry);
  while (entries_.size() > kMaxEntries ||
         Seconds(entries_.back().timeMs - entries_.front().timeMs) > bounds_.windowMaxS) {
    DropFront();
  }
  const double span = Seconds(entries_.back().timeMs - entries_.front().timeMs);
  if (span < bounds_.windowMinS) return Unknown();
  const double reported = speedTime_ / span;
  const double implied = pathM_ / span * kMsToKmh;
  const double difference = std::fabs(reported - implied);
  if (difference <= bounds_.disagreeKmh ||
      difference <= bounds_.disagreeShare * std::max(reported, implied)) {
    return Clear();
  }
  return Holds(StringPrintf("reported speed %.1f km/h, but the path implies %.1f km/h over "
                            "the last %.0f s",
                            reported, implied, span));
}
