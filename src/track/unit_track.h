#pragma once
// One unit's track as it comes in: its checks of sense (latched, so each
// fires once while its condition lasts) and its summary. Not thread-safe:
// the recorder holds one per unit under its lock.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "track/sense_checks.h"
#include "track/track_check.h"
#include "track/track_point.h"
#include "track/unit_summary.h"

class UnitTrack {
 public:
  // `bounds` must outlive the track.
  UnitTrack(std::string unit, const SenseBounds& bounds);

  // Checks one position of this unit and counts it; appends a finding for
  // every check that fires.
  void Observe(const TrackPoint& point, std::vector<TrackFinding>& findings);

  const UnitSummary& Summary() const { return summary_; }

 private:
  void Latch(TrackCheck check, const Judgement& judgement, const TrackPoint& point,
             std::vector<TrackFinding>& findings);
  void ObserveMotion(const TrackPoint& point, std::vector<TrackFinding>& findings);

  const SenseBounds& bounds_;
  std::array<bool, kTrackCheckCount> active_{};
  std::optional<Motion> lastSound_;  // the previous sound position
  std::optional<Motion> lastTimed_;  // the previous sound position with a time
  SpeedWindow window_;
  UnitSummary summary_;
};

// "PID 13, RN 4, EGTS_SR_POS_DATA", with " recent position n-1" for an
// MSD's recent positions; the parts that are known.
std::string PointPlace(const TrackPoint& point);
