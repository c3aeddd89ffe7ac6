#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <atomic>
#include <thread>

#include "support/scratch_directory.h"
#include "track/track_recorder.h"

using namespace testing_support;

namespace {

TrackPoint PointAt(const std::string& unit, int second) {
  TrackPoint point;
  point.unit = unit;
  point.timeMs = int64_t{1798761600 + second} * 1000;
  point.latitude = 60 + second * 0.0001;
  point.longitude = 30;
  point.speedKmh = 40;
  point.headingDeg = 0;
  return point;
}

std::unique_ptr<TrackRecorder> Open(const std::string& file, std::string& error) {
  TrackSettings settings;
  settings.file = file;
  settings.memoryPoints = 7;  // the spool takes most positions
  return TrackRecorder::Open(settings, error);
}

TEST(TrackFile, FinishMidRunLeavesTheWholeFileAndNothingElse) {
  ScratchDirectory dir;
  const std::string file = dir / "run.geojson";
  WriteFile(file, "an earlier run");
  std::string error;
  auto recorder = Open(file, error);
  ASSERT_TRUE(recorder) << error;
  for (int s = 0; s < 50; ++s) recorder->Add(PointAt(s % 2 ? "OID 1" : "OID 2", s));
  // Until Finish the earlier file stands, whole.
  EXPECT_EQ(ReadFile(file), "an earlier run");

  const TrackResult& result = recorder->Finish();
  ASSERT_TRUE(result.written) << result.error;
  EXPECT_EQ(result.bytes, ReadFile(file).size());
  // Positions after Finish are dropped; a second Finish changes nothing.
  EXPECT_TRUE(recorder->Add(PointAt("OID 3", 60)).empty());
  EXPECT_EQ(&recorder->Finish(), &result);
  EXPECT_EQ(result.units.size(), 2u);

  const auto doc = nlohmann::json::parse(ReadFile(file));
  EXPECT_EQ(doc["type"], "FeatureCollection");
  EXPECT_EQ(doc["features"].size(), 2u + 50u);
  EXPECT_EQ(doc["features"][0]["geometry"]["coordinates"].size(), 25u);
  EXPECT_EQ(doc["features"][1]["properties"]["time"], "2027-01-01T00:00:00.000Z");
  EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"run.geojson"});
}

TEST(TrackFile, FinishWhileSourcesRecordOnOtherThreads) {
  ScratchDirectory dir;
  const std::string file = dir / "threads.geojson";
  std::string error;
  auto recorder = Open(file, error);
  ASSERT_TRUE(recorder) << error;
  std::atomic<int> added{0};
  std::vector<std::thread> sources;
  for (int t = 0; t < 4; ++t) {
    sources.emplace_back([&recorder, &added, t] {
      for (int s = 0; s < 2000; ++s) {
        recorder->Add(PointAt("OID " + std::to_string(t), s));
        ++added;
      }
    });
  }
  while (added < 1000) std::this_thread::yield();
  const TrackResult& result = recorder->Finish();  // as a control event's shutdown
  for (std::thread& source : sources) source.join();
  ASSERT_TRUE(result.written) << result.error;
  uint64_t points = 0;
  for (const UnitSummary& unit : result.units) points += unit.points;
  const auto doc = nlohmann::json::parse(ReadFile(file));
  std::size_t features = 0;
  for (const auto& feature : doc["features"]) features += feature["geometry"]["type"] == "Point";
  EXPECT_EQ(features, points);
  EXPECT_GE(points, 1000u);
  EXPECT_EQ(FileNames(dir.Path()), std::vector<std::string>{"threads.geojson"});
}

TEST(TrackFile, GpxForTheNameAndAnErrorForADirectoryThatIsNotThere) {
  ScratchDirectory dir;
  std::string error;
  auto recorder = Open(dir / "run.GPX", error);
  ASSERT_TRUE(recorder) << error;
  recorder->Add(PointAt("OID 1", 0));
  ASSERT_TRUE(recorder->Finish().written);
  const std::string gpx = ReadFile(dir / "run.GPX");
  EXPECT_EQ(gpx.substr(0, 38), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  EXPECT_NE(gpx.find("<trkpt lat=\"60\" lon=\"30\">"), std::string::npos) << gpx;
  EXPECT_NE(gpx.find("<gpxtpx:speed>11.111</gpxtpx:speed>"), std::string::npos) << gpx;

  EXPECT_FALSE(Open(dir / "missing/run.geojson", error));
  EXPECT_EQ(error, "Can not create the file '" + dir / "missing/run.geojson.part" + "'");
}

}  // namespace
