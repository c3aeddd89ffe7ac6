#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/track_export.h"
#include "support/scratch_directory.h"

using namespace testing_support;

namespace {

StartupSettings TrackSettingsFor(const std::string& file) {
  StartupSettings settings;
  settings.TrackMode = true;
  settings.TrackFile = file;
  return settings;
}

TEST(TrackExport, OpensOnlyForTheOptionAndSaysWhyItCanNot) {
  ScratchDirectory dir;
  EXPECT_FALSE(OpenTrackExport(StartupSettings{}, ReportOptions{}));
  testing::internal::CaptureStdout();
  EXPECT_FALSE(OpenTrackExport(TrackSettingsFor(dir / "no/t.geojson"), ReportOptions{}));
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "ERROR: Can not write the tracks to '" + dir / "no/t.geojson" +
                "': Can not create the file '" + dir / "no/t.geojson.part" + "'\n");
}

TEST(TrackExport, FinishPrintsAUnitLineAndTheFileOrTheirJsonObjects) {
  ScratchDirectory dir;
  for (const bool json : {false, true}) {
    ReportOptions report;
    report.json = json;
    std::unique_ptr<TrackSink> sink = OpenTrackExport(TrackSettingsFor(dir / "t.gpx"), report);
    ASSERT_TRUE(sink);
    TrackPoint point;
    point.unit = "OID 5";
    point.latitude = 1;
    point.longitude = 2;
    sink->Add(point);
    testing::internal::CaptureStdout();
    FinishTrackExport(*sink, report);
    const std::string out = testing::internal::GetCapturedStdout();
    const std::size_t bytes = ReadFile(dir / "t.gpx").size();
    if (!json) {
      EXPECT_EQ(out, "Track OID 5: 1 points, 0.000 km; checks fired: none\n"
                     "INFO: Tracks of 1 units written to '" + dir / "t.gpx" + "' (" +
                     std::to_string(bytes) + " bytes)\n");
      continue;
    }
    const std::size_t end = out.find('\n');
    ASSERT_NE(end, std::string::npos);
    EXPECT_EQ(nlohmann::json::parse(out.substr(0, end))["type"], "track");
    const auto log = nlohmann::json::parse(out.substr(end + 1));
    EXPECT_EQ(log["level"], "INFO");
    EXPECT_EQ(log["text"], "Tracks of 1 units written to '" + dir / "t.gpx" + "' (" +
                               std::to_string(bytes) + " bytes)");
  }
}

}  // namespace
