// Simulated units (-e: with -s:) end to end on 127.0.0.1: one unit against
// a korvane platform (-r) that authorizes, confirms and sends commands from
// its console; a platform that confirms nothing; one that refuses the
// authorization; a hundred units against the fast confirming platform.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <fstream>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "compose/unit_packets.h"
#include "support/capture_writer.h"
#include "support/json_lines.h"
#include "support/packet_builder.h"
#include "support/korvane_process.h"
#include "support/korvane_server.h"
#include "support/run_korvane.h"

namespace {

using namespace std::chrono_literals;
using namespace testing_support;

// The bundled profile with `changes` applied, in a temporary file.
class Profile {
 public:
  explicit Profile(const nlohmann::json& changes) {
    std::ifstream in(KORVANE_EXAMPLES_DIR "/unit_profile.json");
    nlohmann::json profile = nlohmann::json::parse(in);
    profile.merge_patch(changes);
    char name[] = "/tmp/korvane_unit_XXXXXX";
    const int fd = mkstemp(name);
    path_ = name;
    const std::string text = profile.dump();
    EXPECT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    close(fd);
  }
  ~Profile() { std::remove(path_.c_str()); }
  std::string Option(const std::string& tail = "") const { return "-e:" + path_ + tail; }

 private:
  std::string path_;
};

// The units' summary among the JSON lines (null when there is none).
nlohmann::json UnitsSummary(const std::vector<nlohmann::json>& lines) {
  for (const nlohmann::json& line : lines) {
    if (line.value("type", "") == "summary" && line.contains("units")) return line;
  }
  return nullptr;
}

std::string Platform(uint16_t port) { return "-s:127.0.0.1:" + std::to_string(port); }

// The connection id the platform lists for TID 1001.
std::string ClientId(Server& platform) {
  platform.Process().Write("clients\n");
  EXPECT_TRUE(platform.WaitFor("  authorized  TID 1001"));
  const std::string& listed = platform.Process().Output();
  const std::size_t line = listed.rfind('\n', listed.rfind("  authorized  TID 1001")) + 1;
  return listed.substr(line, listed.find(' ', line) - line);
}

TEST(UnitsEndToEnd, OneUnitIsAuthorizedSendsPositionsAndAnswersCommands) {
  Server platform({"-r", "-x"});
  ASSERT_TRUE(platform.Ready());
  const Profile profile(nlohmann::json{{"route", {{"period_s", 0.2}}}});
  KorvaneProcess unit({profile.Option(), Platform(platform.Port())});
  ASSERT_TRUE(unit.WaitForCount("\nUnit 1001 received:", 6)) << unit.Output();
  const std::string id = ClientId(platform);

  // A parameter set, then an MSD on request.
  platform.Process().Write("send " + id + " EGTS_SIM_PIN 112 5 1234\n");
  platform.Process().Write("send " + id + " EGTS_ECALL_MSD_REQ 112 5 0 3\n");
  ASSERT_TRUE(platform.WaitFor("(EGTS_SR_ECALL_RAW_MSD_DATA)")) << platform.Process().Output();
  unit.Write("quit\n");
  ASSERT_EQ(unit.WaitForExit(), 0);
  const std::string served = platform.Quit();

  EXPECT_NE(unit.Output().find("commands answered 2;"), std::string::npos) << unit.Output();
  EXPECT_NE(unit.Output().find("authorized 1, refused 0"), std::string::npos);
  EXPECT_EQ(unit.Output().find("WARNING"), std::string::npos) << unit.Output();
  // The VIN of the profile, in VEHICLE_DATA and in the MSD.
  std::size_t vins = 0;
  for (std::size_t at = served.find("XTA21099012345678"); at != std::string::npos;
       at = served.find("XTA21099012345678", at + 1)) {
    ++vins;
  }
  EXPECT_GE(vins, 2u) << served;
  EXPECT_NE(served.find(" answered: EGTS_CC_OK (EGTS_SIM_PIN)"), std::string::npos);
  EXPECT_NE(served.find(" answered: EGTS_CC_OK (EGTS_MSD_REQ)"), std::string::npos);
  EXPECT_EQ(served.find("WARNING"), served.find("WARNING: packet data not found")) << served;
}

TEST(UnitsEndToEnd, APlatformThatConfirmsNothingGetsThreeResendsThenTheUnitCloses) {
  Server platform;  // without -r it never answers
  ASSERT_TRUE(platform.Ready());
  const Profile profile(nlohmann::json::object());
  // Three resends 5 s apart, then 5 s more: 20 s.
  KorvaneProcess process({profile.Option(), Platform(platform.Port()), "-j"});
  process.CloseInput();
  RunResult unit;
  unit.exitCode = process.WaitForExit(60s);  // about 22 s; room for a loaded machine
  unit.output = process.Output();
  unit.errors = process.Errors();
  platform.Quit();
  EXPECT_EQ(unit.exitCode, 0);
  const std::vector<nlohmann::json> lines = ParseJsonLines(unit.output);
  ASSERT_FALSE(lines.empty());
  const nlohmann::json summary = UnitsSummary(lines);
  EXPECT_EQ(summary["type"], "summary");
  EXPECT_EQ(summary["authorized"], 0);
  // TERM_IDENTITY and VEHICLE_DATA, each sent again three times.
  EXPECT_EQ(summary["resends"], 6) << summary;
  // With -j the finding is a log object.
  EXPECT_NE((unit.output + unit.errors).find("not confirmed after 3 resends; the connection is closed"),
            std::string::npos)
      << unit.errors;
  EXPECT_EQ(SchemaFindings(unit.output), "");
}

TEST(UnitsEndToEnd, ARefusedAuthorizationEndsTheUnit) {
  Server platform({"-r:151"});
  ASSERT_TRUE(platform.Ready());
  const Profile profile(nlohmann::json::object());
  const RunResult unit = RunKorvaneBinary({profile.Option(), Platform(platform.Port())}, "");
  platform.Quit();
  EXPECT_EQ(unit.exitCode, 0);
  EXPECT_NE(unit.output.find("WARNING: Unit 1001: authorization refused with 151"),
            std::string::npos)
      << unit.output;
  EXPECT_NE(unit.output.find("authorized 0, refused 1"), std::string::npos);
}

TEST(UnitsEndToEnd, ABadProfileIsOneErrorNamingTheKeyAndNothingConnects) {
  const Profile profile(nlohmann::json{{"route", {{"lat", 95}}}});
  const RunResult unit = RunKorvaneBinary({profile.Option(), "-s:127.0.0.1:9"}, "");
  EXPECT_EQ(unit.exitCode, 2);
  EXPECT_NE(unit.output.find(": route.lat: "), std::string::npos) << unit.output;
  EXPECT_EQ(unit.output.find("Units:"), std::string::npos);
}

// The fast platform, started on a port of its own (its first line names
// it); ended with SIGTERM when the test is done.
class ConfirmingPlatform {
 public:
  ConfirmingPlatform() {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl(KORVANE_CONFIRMING_PLATFORM, KORVANE_CONFIRMING_PLATFORM, "0", "60", nullptr);
      _exit(127);
    }
    close(out[1]);
    output_ = fdopen(out[0], "r");
    unsigned port = 0;
    if (output_ != nullptr && std::fscanf(output_, "port %u", &port) == 1) {
      port_ = static_cast<uint16_t>(port);
    }
  }
  ~ConfirmingPlatform() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (output_ != nullptr) fclose(output_);
  }
  uint16_t Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  FILE* output_ = nullptr;
  uint16_t port_ = 0;
};

TEST(UnitsEndToEnd, AHundredUnitsAreAllAuthorizedAndConfirmed) {
  ConfirmingPlatform platform;
  ASSERT_NE(platform.Port(), 0);
  const Profile profile(nlohmann::json{{"positions", 5}, {"route", {{"period_s", 0.1}}}});
  char tracks[] = "/tmp/korvane_units_XXXXXX.geojson";
  close(mkstemps(tracks, 8));
  const RunResult fleet = RunKorvaneBinary(
      {profile.Option(":100:500"), Platform(platform.Port()), "-j", std::string("-g:") + tracks},
      "");
  std::ifstream written(tracks);
  const nlohmann::json geojson = nlohmann::json::parse(written, nullptr, false);
  std::remove(tracks);
  // The positions the units sent reach the tracks, one unit each.
  std::set<std::string> units;
  for (const nlohmann::json& feature : geojson.value("features", nlohmann::json::array())) {
    units.insert(feature["properties"].value("unit", ""));
  }
  EXPECT_EQ(units.size(), 100u) << fleet.errors;
  const std::vector<nlohmann::json> lines = ParseJsonLines(fleet.output);
  ASSERT_FALSE(lines.empty()) << fleet.errors;
  const nlohmann::json summary = UnitsSummary(lines);
  EXPECT_EQ(summary["units"], 100);
  EXPECT_EQ(summary["authorized"], 100);
  EXPECT_EQ(summary["records_sent"], 500);
  EXPECT_EQ(summary["records_confirmed"], 500);
  EXPECT_EQ(summary["lost"], 0);
  EXPECT_EQ(SchemaFindings(fleet.output), "");
}

}  // namespace

namespace replay {

using testing_support::Bytes;

// A TELEDATA packet with one POS_DATA record.
Bytes Position(uint16_t pid, uint16_t rn) {
  compose::UnitPosition at;
  at.time = 500000000;
  at.lat = 55.75;
  at.lon = 37.61;
  at.speedKmh = 40;
  at.heading = 90;
  const std::vector<uint8_t> srd = compose::PosDataSrd(at);
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 2;
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(16, Bytes(srd.begin(), srd.end()))), pid);
}

// The terminal side of a capture, its PIDs far from 0 and one packet sent
// twice, reaches a korvane platform numbered 0, 1, 2, 3 and is confirmed.
TEST(UnitsEndToEnd, ACaptureIsPlayedAgainWithItsPidsRenumbered) {
  TcpConversation tcp(V4End(10, 0, 0, 2, 40522), V4End(10, 0, 0, 1, 20629));
  std::vector<WrittenSegment> segments = tcp.Open();
  Append(segments, tcp.Send(true, IdentityPacket(700, 900)));
  Append(segments, tcp.Send(true, Position(701, 901)));
  Append(segments, tcp.Send(true, Position(701, 901)));
  Append(segments, tcp.Send(true, Position(905, 902)));
  Append(segments, tcp.Close());
  char path[] = "/tmp/korvane_replay_XXXXXX.pcap";
  close(mkstemps(path, 5));
  WriteBytes(path, PcapFile(Link::kEthernet, segments));

  Server platform({"-r"});
  ASSERT_TRUE(platform.Ready());
  const RunResult replay = RunKorvaneBinary(
      {std::string("-p:") + path, Platform(platform.Port()), "-d:confirmed"}, "");
  const std::string served = platform.Quit();
  std::remove(path);
  EXPECT_EQ(replay.exitCode, 0);
  EXPECT_NE(replay.output.find("Records: sent 4, confirmed 4, resends 0, lost 0"),
            std::string::npos)
      << replay.output;
  EXPECT_NE(replay.output.find("authorized 1, refused 0"), std::string::npos);
  for (const char* pid : {"0\n", "1\n", "2\n", "3\n"}) {
    EXPECT_NE(served.find(std::string("  Packet ID           - ") + pid), std::string::npos) << pid;
  }
  EXPECT_EQ(served.find("  Packet ID           - 70"), std::string::npos);
  EXPECT_EQ(served.find("WARNING"), served.find("WARNING: packet data not found")) << served;
}

}  // namespace replay

// An upload from the console: a file of 5000 bytes goes in parts of the
// unit's block size (2048 less a packet's own bytes: 3 parts), each part is
// answered and the last with OK; a file that cannot be read and a wrong
// kind are one error line each and send nothing.
TEST(UnitsEndToEnd, AnUploadFromTheConsoleIsAnsweredPartByPart) {
  Server platform({"-r"});
  ASSERT_TRUE(platform.Ready());
  KorvaneProcess unit({"-e:" KORVANE_EXAMPLES_DIR "/unit_profile.json", Platform(platform.Port())});
  ASSERT_TRUE(unit.WaitForCount("\nUnit 1001 received:", 2)) << unit.Output();
  const std::string id = ClientId(platform);
  ASSERT_FALSE(id.empty()) << platform.Process().Output();
  char name[] = "/tmp/korvane_upload_XXXXXX";
  const int fd = mkstemp(name);
  const std::string object(5000, 'F');
  ASSERT_EQ(write(fd, object.data(), object.size()), static_cast<ssize_t>(object.size()));
  close(fd);

  platform.Process().Write("send " + id + " upload /nonexistent/korvane_object\n");
  ASSERT_TRUE(platform.WaitFor("ERROR: Can not read the file '/nonexistent/korvane_object'\n"));
  platform.Process().Write("send " + id + " upload " + name + " firmwear\n");
  ASSERT_TRUE(platform.WaitFor("ERROR: incorrect parameter: KIND=firmwear: firmware or config expected\n"));
  platform.Process().Write("send " + id + " upload " + name + "\n");
  const bool done = platform.WaitFor("INFO: Upload 1 part 3 of 3 answered: 0 (OK)\n");
  std::remove(name);
  ASSERT_TRUE(done) << platform.Process().Output();
  unit.Write("quit\n");
  ASSERT_EQ(unit.WaitForExit(), 0);
  const std::string served = platform.Quit();

  EXPECT_NE(served.find("Command 'upload' FILE=" + std::string(name) + " SIZE=5000 KIND=firmware MODULE=1"),
            std::string::npos);
  EXPECT_NE(served.find("INFO: Upload 1 part 1 of 3 answered: "), std::string::npos) << served;
  EXPECT_NE(served.find("INFO: Upload 1 part 2 of 3 answered: "), std::string::npos) << served;
  // Only the good upload went: one object, its parts numbered once.
  EXPECT_EQ(served.find("INFO: Upload 2 "), std::string::npos) << served;
  EXPECT_EQ(served.find("WARNING"), served.find("WARNING: packet data not found")) << served;
}
