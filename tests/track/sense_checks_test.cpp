#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "support/track_packets.h"
#include "track/unit_track.h"

using namespace testing_support;

namespace {

constexpr int64_t kStartMs = int64_t{1798761600} * 1000;  // 2027-01-01

TrackPoint PointOf(const Fix& fix, std::size_t index) {
  TrackPoint point;
  point.unit = "OID 7";
  point.timeMs = kStartMs + static_cast<int64_t>(index) * 1000;
  point.latitude = fix.latitude;
  point.longitude = fix.longitude;
  point.speedKmh = fix.speedKmh;
  point.headingDeg = fix.heading;
  point.PID = static_cast<uint16_t>(index + 1);
  point.RN = static_cast<uint16_t>(index + 1);
  return point;
}

// A drive with bends, a stop and speeds from 0 to 120 km/h, one fix a
// second: sound.
std::vector<TrackPoint> SoundDrive() {
  const std::vector<Fix> route =
      Route(59.93, 30.31, 0,
            {{10, 40, 60}, {25, 60, 20}, {40, 60, 20}, {55, 60, 20}, {55, 0, 30},
             {55, 30, 10}, {100, 120, 90}, {130, 80, 40}, {170, 50, 60}});
  std::vector<TrackPoint> points;
  for (std::size_t i = 0; i < route.size(); ++i) points.push_back(PointOf(route[i], i));
  return points;
}

struct Outcome {
  std::vector<TrackFinding> findings;
  UnitSummary summary;
};

Outcome Observe(const std::vector<TrackPoint>& points, double speedBound = 300) {
  SenseBounds bounds;
  bounds.speedKmh = speedBound;
  UnitTrack track("OID 7", bounds);
  Outcome outcome;
  for (const TrackPoint& point : points) track.Observe(point, outcome.findings);
  outcome.summary = track.Summary();
  return outcome;
}

// The drive with a fault made in every position from `from` on.
std::vector<TrackPoint> Faulty(std::size_t from, const std::function<void(TrackPoint&, std::size_t)>& fault) {
  std::vector<TrackPoint> points = SoundDrive();
  for (std::size_t i = from; i < points.size(); ++i) fault(points[i], i);
  return points;
}

CheckCounts Only(TrackCheck check, uint64_t count = 1) {
  CheckCounts counts{};
  counts[static_cast<std::size_t>(check)] = count;
  return counts;
}

TEST(SenseChecks, SoundDriveFiresNothing) {
  const Outcome outcome = Observe(SoundDrive());
  for (const TrackFinding& f : outcome.findings) ADD_FAILURE() << f.text;
  EXPECT_EQ(outcome.summary.points, 351u);
}

TEST(SenseChecks, EachCheckFiresOnceWhileItsFaultLasts) {
  struct Case {
    TrackCheck check;
    std::function<void(TrackPoint&, std::size_t)> fault;
  };
  const Case cases[] = {
      // Every position 1 km further than the last, in one second.
      {TrackCheck::kImpliedSpeed,
       [](TrackPoint& p, std::size_t i) { p.longitude += 0.016 * static_cast<double>(i - 159); }},
      // Times counting down.
      {TrackCheck::kTimeBackwards,
       [](TrackPoint& p, std::size_t i) { *p.timeMs = kStartMs - static_cast<int64_t>(i) * 1000; }},
      // The time stops while the unit drives.
      {TrackCheck::kTimeStandsStill,
       [](TrackPoint& p, std::size_t) { *p.timeMs = kStartMs + 159'000; }},
      {TrackCheck::kZeroPosition, [](TrackPoint& p, std::size_t) { p.latitude = p.longitude = 0; }},
      {TrackCheck::kOutOfRange, [](TrackPoint& p, std::size_t) { p.headingDeg = 400; }},
      // The speed in m/s where km/h belong.
      {TrackCheck::kSpeedDisagrees, [](TrackPoint& p, std::size_t) { *p.speedKmh /= 3.6; }},
      // The heading counted from the east.
      {TrackCheck::kHeadingDisagrees,
       [](TrackPoint& p, std::size_t) { p.headingDeg = std::fmod(*p.headingDeg + 90, 360); }},
  };
  for (const Case& c : cases) {
    // From the end of the stop on, so that the unit moves all the while.
    const Outcome outcome = Observe(Faulty(160, c.fault));
    EXPECT_EQ(outcome.summary.checks, Only(c.check)) << TrackCheckName(c.check);
    ASSERT_EQ(outcome.findings.size(), 1u) << TrackCheckName(c.check);
    EXPECT_EQ(outcome.findings[0].kind, c.check);
    EXPECT_EQ(outcome.findings[0].unit, "OID 7");
  }
}

TEST(SenseChecks, FindingNamesUnitPlaceAndFiguresAndFiresAgainOnlyAfterClearing) {
  std::vector<TrackPoint> points = SoundDrive();
  // A jump out and back (one condition), 20 s later another.
  points[50].longitude += 1;
  points[70].longitude += 1;
  const Outcome outcome = Observe(points);
  EXPECT_EQ(outcome.summary.checks, Only(TrackCheck::kImpliedSpeed, 2));
  ASSERT_EQ(outcome.findings.size(), 2u);
  EXPECT_EQ(outcome.findings[0].level, "WARNING");
  EXPECT_EQ(outcome.findings[0].text.substr(0, 13), "Track OID 7: ");
  EXPECT_NE(outcome.findings[0].text.find(" in 1.0 s implies "), std::string::npos);
  EXPECT_NE(outcome.findings[0].text.find("km/h, above 300 km/h (PID 51, RN 51, EGTS_SR_POS_DATA)"),
            std::string::npos)
      << outcome.findings[0].text;
  EXPECT_EQ(FindingLine(outcome.findings[0]), "WARNING: " + outcome.findings[0].text + "\n");
}

TEST(SenseChecks, SpeedBoundIsTheOptionsFigure) {
  // 350 km/h of travel while 350 km/h is reported.
  const std::vector<Fix> route = Route(50, 10, 0, {{45, 350, 60}});
  std::vector<TrackPoint> points;
  for (std::size_t i = 0; i < route.size(); ++i) points.push_back(PointOf(route[i], i));
  EXPECT_EQ(Observe(points, 300).summary.checks, Only(TrackCheck::kImpliedSpeed));
  EXPECT_EQ(Observe(points, 400).summary.checks, CheckCounts{});
}

TEST(SenseChecks, InvalidFixesAreCountedNotJudgedAndOutOfRangeIsNotDrawn) {
  std::vector<TrackPoint> points = SoundDrive();
  for (std::size_t i = 100; i < 110; ++i) {
    points[i].valid = false;
    points[i].latitude = points[i].longitude = 0;  // what units send without a fix
  }
  points[200].latitude = 95;
  const Outcome outcome = Observe(points);
  EXPECT_EQ(outcome.summary.checks, Only(TrackCheck::kOutOfRange));
  EXPECT_EQ(outcome.summary.validPoints, 341u);
  EXPECT_EQ(outcome.summary.outOfRange, 1u);
}

}  // namespace
