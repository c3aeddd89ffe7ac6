#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "support/scratch_directory.h"
#include "support/track_packets.h"
#include "track/track_recorder.h"

using namespace testing_support;

namespace {

constexpr uint32_t kStart = 536457600;  // 2027-01-01 in EGTS seconds

std::unique_ptr<TrackRecorder> OpenRecorder(const std::string& file, std::size_t memory = 65536) {
  TrackSettings settings;
  settings.file = file;
  settings.memoryPoints = memory;
  std::string error;
  auto recorder = TrackRecorder::Open(settings, error);
  EXPECT_TRUE(recorder) << error;
  return recorder;
}

// Every fix as a POS_DATA packet of its own, with EXT_POS_DATA.
std::vector<TrackFinding> SendAsPosData(TrackRecorder& recorder, const std::vector<Fix>& route,
                                        uint32_t oid) {
  std::vector<TrackFinding> findings;
  for (std::size_t i = 0; i < route.size(); ++i) {
    const auto pid = static_cast<uint16_t>(i + 1);
    const Bytes subrecords = Concat({SubrecordBytes(16, PosDataSrd(route[i])),
                                     SubrecordBytes(17, ExtPosDataSrd(11, 90))});
    for (TrackFinding& f : recorder.Record(Parsed(RecordPacket(oid, 2, subrecords, pid, pid)),
                                           PacketOrigin{pid, {}, "label"})) {
      findings.push_back(std::move(f));
    }
  }
  return findings;
}

TEST(TrackRoute, GeneratedRouteGivesItsDistanceSpeedAndTimeWithoutFindings) {
  // 50 km/h east for 2 min, 90 km/h north for 2 min, 30 km/h south-west
  // for 1 min, 20 s standing, 1 min at 110 km/h: 5,500 m of road.
  const std::vector<Fix> route = Route(55.75, 37.62, kStart,
                                       {{90, 50, 120}, {0, 90, 120}, {225, 30, 60},
                                        {225, 0, 20}, {300, 110, 60}});
  ScratchDirectory dir;
  auto recorder = OpenRecorder(dir / "route.geojson", 100);  // spills to its spool
  const std::vector<TrackFinding> findings = SendAsPosData(*recorder, route, 4711);
  for (const TrackFinding& f : findings) ADD_FAILURE() << f.text;

  const TrackResult& result = recorder->Finish();
  ASSERT_TRUE(result.written) << result.error;
  ASSERT_EQ(result.units.size(), 1u);
  const UnitSummary& unit = result.units[0];
  EXPECT_EQ(unit.unit, "OID 4711");
  EXPECT_EQ(unit.points, route.size());
  const double expected = RouteLength(route);
  EXPECT_NEAR(expected, (50 * 120 + 90 * 120 + 30 * 60 + 110 * 60) / 3.6, 0.5);
  EXPECT_NEAR(unit.distanceM, expected, expected * 0.001);
  ASSERT_TRUE(unit.maxSpeedKmh);
  EXPECT_DOUBLE_EQ(*unit.maxSpeedKmh, 110);
  ASSERT_TRUE(unit.firstTimeMs && unit.lastTimeMs);
  EXPECT_EQ(*unit.lastTimeMs - *unit.firstTimeMs, 380'000);
  EXPECT_EQ(unit.checks, CheckCounts{});
}

TEST(TrackRoute, TwoUnitsGiveTwoTracksAndTrackDataTimesCountRtmPlusOne) {
  const std::vector<Fix> east = Route(55.75, 37.62, kStart, {{90, 60, 30}});
  const std::vector<Fix> south = Route(-33.86, 151.2, kStart, {{180, 40, 30}});
  ScratchDirectory dir;
  auto recorder = OpenRecorder(dir / "two.geojson");
  // The TRACK_DATA record has no OID: the connection's TID names the unit.
  const Bytes track = SubrecordBytes(62, TrackDataSrd(south));
  EXPECT_TRUE(recorder->Record(Parsed(RecordPacket(std::nullopt, 10, track, 900, 1)),
                               PacketOrigin{900, 77u, "10.0.0.2:40522"})
                  .empty());
  EXPECT_TRUE(SendAsPosData(*recorder, east, 12).empty());

  const TrackResult& result = recorder->Finish();
  ASSERT_TRUE(result.written) << result.error;
  ASSERT_EQ(result.units.size(), 2u);
  EXPECT_EQ(result.units[0].unit, "TID 77");
  EXPECT_EQ(result.units[1].unit, "OID 12");
  // ATM is one second before the first fix, and RTM 9 is one second.
  EXPECT_EQ(*result.units[0].firstTimeMs, (int64_t{kStart} + 1262304000) * 1000);
  EXPECT_NEAR(result.units[0].distanceM, RouteLength(south), RouteLength(south) * 0.001);

  const auto doc = nlohmann::json::parse(ReadFile(dir / "two.geojson"));
  std::vector<std::string> lines;
  std::size_t points = 0;
  for (const auto& feature : doc["features"]) {
    if (feature["geometry"]["type"] == "LineString") {
      lines.push_back(feature["properties"]["unit"]);
      EXPECT_EQ(feature["geometry"]["coordinates"].size(), 31u);
    } else {
      ++points;
    }
  }
  EXPECT_EQ(lines, (std::vector<std::string>{"TID 77", "OID 12"}));
  EXPECT_EQ(points, east.size() + south.size());
  EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"two.geojson"});
}

}  // namespace
