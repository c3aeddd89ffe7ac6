#include "track/unit_track.h"

#include <algorithm>

#include "util/text.h"

UnitTrack::UnitTrack(std::string unit, const SenseBounds& bounds)
    : bounds_(bounds), window_(bounds) {
  summary_.unit = std::move(unit);
}

std::string PointPlace(const TrackPoint& point) {
  std::string place;
  if (point.PID) place += StringPrintf("PID %u, ", unsigned{*point.PID});
  if (point.RN) place += StringPrintf("RN %u, ", unsigned{*point.RN});
  place += PositionKindName(point.kind);
  if (point.recent != 0) place += StringPrintf(" recent position n-%u", unsigned{point.recent});
  return place;
}

void UnitTrack::Latch(TrackCheck check, const Judgement& judgement, const TrackPoint& point,
                      std::vector<TrackFinding>& findings) {
  bool& active = active_[static_cast<std::size_t>(check)];
  if (judgement.verdict == Verdict::kClear) active = false;
  if (judgement.verdict != Verdict::kHolds || active) return;
  active = true;
  ++summary_.checks[static_cast<std::size_t>(check)];
  findings.push_back({TrackCheckLevel(check), check, summary_.unit,
                      "Track " + summary_.unit + ": " + judgement.seen + " (" +
                          PointPlace(point) + ")"});
}

void UnitTrack::Observe(const TrackPoint& point, std::vector<TrackFinding>& findings) {
  ++summary_.points;
  if (point.valid) ++summary_.validPoints;
  Latch(TrackCheck::kOutOfRange, JudgeOutOfRange(point), point, findings);
  if (!PositionInRange(point)) {
    ++summary_.outOfRange;
    return;
  }
  const Judgement zero = JudgeZeroPosition(point, bounds_);
  Latch(TrackCheck::kZeroPosition, zero, point, findings);
  if (!point.valid || zero.verdict == Verdict::kHolds) return;
  ObserveMotion(point, findings);
}

void UnitTrack::ObserveMotion(const TrackPoint& point, std::vector<TrackFinding>& findings) {
  const Motion now = MotionOf(point);
  // The previous sound position is mostly the previous timed one too: one
  // geodesic then serves the distance and the checks.
  std::optional<GeodesicStep> fromTimed;
  if (now.timeMs && lastTimed_) {
    fromTimed = StepBetween(lastTimed_->latitude, lastTimed_->longitude, now.latitude,
                            now.longitude);
  }
  if (lastSound_) {
    const bool same = fromTimed && lastTimed_->latitude == lastSound_->latitude &&
                      lastTimed_->longitude == lastSound_->longitude;
    summary_.distanceM += same ? fromTimed->distanceM
                               : StepBetween(lastSound_->latitude, lastSound_->longitude,
                                             now.latitude, now.longitude)
                                     .distanceM;
  }
  lastSound_ = now;
  if (now.speedKmh) summary_.maxSpeedKmh = std::max(summary_.maxSpeedKmh.value_or(0), *now.speedKmh);
  if (!now.timeMs) return;
  summary_.firstTimeMs = std::min(summary_.firstTimeMs.value_or(*now.timeMs), *now.timeMs);
  summary_.lastTimeMs = std::max(summary_.lastTimeMs.value_or(*now.timeMs), *now.timeMs);

  if (!fromTimed) {
    window_.Add(now, nullptr);
    lastTimed_ = now;
    return;
  }
  const GeodesicStep& step = *fromTimed;
  const Judgement jump = JudgeImpliedSpeed(*lastTimed_, now, step, bounds_);
  Latch(TrackCheck::kImpliedSpeed, jump, point, findings);
  Latch(TrackCheck::kTimeBackwards, JudgeTimeBackwards(*lastTimed_, now), point, findings);
  Latch(TrackCheck::kTimeStandsStill, JudgeTimeStandsStill(*lastTimed_, now, step, bounds_),
        point, findings);
  // A jump is no motion: it has no direction to judge, and the speed
  // window starts again after it.
  const bool jumped = jump.verdict == Verdict::kHolds;
  if (!jumped) {
    Latch(TrackCheck::kHeadingDisagrees, JudgeHeading(*lastTimed_, now, step, bounds_), point,
          findings);
  }
  Latch(TrackCheck::kSpeedDisagrees, window_.Add(now, jumped ? nullptr : &step), point, findings);
  lastTimed_ = now;
}
