#pragma once
// The judgements behind each check of track_check.h, one position or one
// pair of consecutive positions at a time. Pure: the latching (fire once
// while a condition lasts) is UnitTrack's.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "track/geodesic.h"
#include "track/track_check.h"
#include "track/track_point.h"

enum class Verdict : uint8_t { kHolds, kClear, kUnknown };

// A verdict and, when it holds, what was seen (a phrase without the unit
// and the place, which the caller adds).
struct Judgement {
  Verdict verdict = Verdict::kUnknown;
  std::string seen;
};

// What the checks between positions read of a sound position.
struct Motion {
  double latitude = 0;
  double longitude = 0;
  std::optional<int64_t> timeMs;
  std::optional<double> speedKmh;
  std::optional<double> headingDeg;  // only a heading below 360
};

Motion MotionOf(const TrackPoint& point);

bool PositionInRange(const TrackPoint& point);

// Per position.
Judgement JudgeZeroPosition(const TrackPoint& point, const SenseBounds& bounds);
Judgement JudgeOutOfRange(const TrackPoint& point);

// Between the previous position with a time and this one.
Judgement JudgeImpliedSpeed(const Motion& before, const Motion& now, const GeodesicStep& step,
                            const SenseBounds& bounds);
Judgement JudgeTimeBackwards(const Motion& before, const Motion& now);
Judgement JudgeTimeStandsStill(const Motion& before, const Motion& now, const GeodesicStep& step,
                               const SenseBounds& bounds);
Judgement JudgeHeading(const Motion& before, const Motion& now, const GeodesicStep& step,
                       const SenseBounds& bounds);

// The positions of the last windowMaxS seconds, for speed_disagrees. Holds
// running sums so that each position costs the same however many the window
// holds.
class SpeedWindow {
 public:
  explicit SpeedWindow(const SenseBounds& bounds) : bounds_(bounds) {}

  // Forgets every position: the next one starts a new window.
  void Restart();
  // Adds a sound position with its step from the previous one (null for the
  // first of a window) and judges the window. A position without time or
  // speed, or after a gap above windowGapS or time that does not advance,
  // starts a new window.
  Judgement Add(const Motion& now, const GeodesicStep* step);

 private:
  struct Entry {
    int64_t timeMs;
    double speedKmh;
    double stepM;       // from the previous entry (0 for the first)
    double speedTimeKm; // trapezoid of the speeds over that step, km/h * s
  };
  static constexpr std::size_t kMaxEntries = 1024;

  void DropFront();

  const SenseBounds& bounds_;
  std::deque<Entry> entries_;
  double pathM_ = 0;       // sum of stepM after the first entry
  double speedTime_ = 0;   // sum of speedTimeKm after the first entry
};

// Angle between two directions in degrees, 0..180.
double AngleBetween(double aDeg, double bDeg);
// The mean direction of two, in degrees 0..360.
double MeanDirection(double aDeg, double bDeg);
