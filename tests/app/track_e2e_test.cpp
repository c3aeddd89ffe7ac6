// Tracks (-g:) end to end: the real binary fed by a capture and by a live
// terminal, the track file read back.

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/capture_writer.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "support/track_packets.h"

namespace {

using namespace testing_support;

constexpr uint8_t kAuth = 1, kTeledata = 2, kTermIdentity = 1, kPosData = 16;

Bytes Identity(uint32_t tid) {
  RecordFields record;
  record.RN = 1;
  record.SST = record.RST = kAuth;
  const Bytes srd = {static_cast<uint8_t>(tid), static_cast<uint8_t>(tid >> 8),
                     static_cast<uint8_t>(tid >> 16), static_cast<uint8_t>(tid >> 24), 0};
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(kTermIdentity, srd)), 1);
}

// One connection: the terminal authorizes as `tid`, then sends the fixes
// as POS_DATA without OID, one packet each.
std::vector<WrittenSegment> UnitConnection(uint8_t host, uint32_t tid,
                                           const std::vector<Fix>& fixes) {
  TcpConversation tcp(V4End(10, 0, 0, host, 40000 + host), V4End(10, 0, 0, 1, 20629));
  std::vector<WrittenSegment> segments = tcp.Open();
  Append(segments, tcp.Send(true, Identity(tid)));
  uint16_t pid = 2;
  for (const Fix& fix : fixes) {
    Append(segments, tcp.Send(true, RecordPacket(std::nullopt, kTeledata,
                                                 SubrecordBytes(kPosData, PosDataSrd(fix)), pid,
                                                 pid)));
    ++pid;
  }
  Append(segments, tcp.Close());
  return segments;
}

nlohmann::json ReadJson(const std::string& path) {
  std::ifstream in(path);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return nlohmann::json::parse(text, nullptr, false);
}

// The units of the LineStrings of a GeoJSON track file.
std::vector<std::string> LineUnits(const nlohmann::json& file) {
  std::vector<std::string> units;
  for (const auto& feature : file.at("features")) {
    if (feature.at("geometry").at("type") == "LineString") {
      units.push_back(feature.at("properties").at("unit").get<std::string>());
    }
  }
  return units;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Two terminals in one capture give two tracks, by the TID each authorized
// with; the one that jumps 40 km in a second is told once.
TEST(TrackEndToEnd, ACaptureWithTwoUnitsGivesTwoTracksAndItsChecks) {
  ScratchDirectory scratch;
  const uint32_t start = 500000000;
  const std::vector<Fix> sound = Route(55.75, 37.62, start, {{90, 36, 5}});
  std::vector<Fix> jumping = Route(59.93, 30.31, start, {{0, 36, 3}});
  for (Fix& fix : Route(60.30, 30.31, start + 4, {{0, 36, 3}})) jumping.push_back(fix);

  std::vector<WrittenSegment> segments = UnitConnection(2, 1001, sound);
  Append(segments, UnitConnection(3, 1002, jumping));
  const std::string capture = scratch / "two.pcap";
  WriteBytes(capture, PcapFile(Link::kEthernet, segments));
  const std::string tracks = scratch / "two.geojson";
  const RunResult run = RunKorvaneBinary({"-g:" + tracks, "-p:" + capture}, "");

  EXPECT_EQ(Count(run.output, "WARNING: Track TID 1002: "), 1u) << run.output;
  EXPECT_NE(run.output.find("implies"), std::string::npos);
  EXPECT_EQ(Count(run.output, "WARNING: Track TID 1001: "), 0u);
  EXPECT_NE(run.output.find("Track TID 1001: 6 points"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Track TID 1002: 8 points"), std::string::npos);
  EXPECT_NE(run.output.find("INFO: Tracks of 2 units written to '" + tracks + "'"),
            std::string::npos);
  const nlohmann::json file = ReadJson(tracks);
  ASSERT_FALSE(file.is_discarded());
  EXPECT_EQ(LineUnits(file), (std::vector<std::string>{"TID 1001", "TID 1002"}));
  EXPECT_FALSE(std::filesystem::exists(tracks + ".part"));
}

// Ctrl+C ends server mode with the file whole under its name.
TEST(TrackEndToEnd, CtrlCInServerModeLeavesAWholeFile) {
  ScratchDirectory scratch;
  const std::string tracks = scratch / "live.gpx";
  Server server({"-g:" + tracks});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(terminal.Connected());
  for (const Fix& fix : Route(55.75, 37.62, 500000000, {{90, 36, 3}})) {
    const uint16_t pid = static_cast<uint16_t>(fix.egtsTime % 1000);
    ASSERT_TRUE(terminal.Send(RecordPacket(4711, kTeledata,
                                           SubrecordBytes(kPosData, PosDataSrd(fix)), pid, pid)));
  }
  ASSERT_TRUE(server.Process().WaitForCount("Packet data: ", 4)) << server.Process().Output();
  server.Process().Signal(SIGINT);
  EXPECT_EQ(server.Process().WaitForExit(), 0);
  const std::string& out = server.Process().Output();
  EXPECT_NE(out.find("Track OID 4711: 4 points"), std::string::npos) << out;
  EXPECT_EQ(Count(out, "INFO: Tracks of 1 units written to"), 1u);
  std::ifstream gpx(tracks);
  const std::string text((std::istreambuf_iterator<char>(gpx)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("<trk>"), std::string::npos);
  EXPECT_EQ(Count(text, "<trkpt "), 4u);
  EXPECT_NE(text.find("</gpx>"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(tracks + ".part"));
}

}  // namespace
