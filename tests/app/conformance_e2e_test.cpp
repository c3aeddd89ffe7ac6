// Conformance runs (-t:) of the real binary against a scripted unit on
// 127.0.0.1: each run passing, and failing once per kind of misbehaviour,
// with its verdict in JSON and JUnit XML.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <thread>

#include "support/json_lines.h"
#include "support/korvane_process.h"
#include "support/packet_builder.h"
#include "support/korvane_server.h"
#include "support/scratch_directory.h"
#include "support/scripted_unit.h"
#include "transport/sms_pdu.h"

namespace {

using namespace testing_support;

const std::string kRuns = std::string(KORVANE_EXAMPLES_DIR) + "/runs/";

constexpr const char* kProfile = R"({"tid": 1001, "imei": "861715033983983",
  "imsi": "250770000000001", "msisdn": "79000000001", "vin": "XTA21099012345678",
  "vehicle_type": 1, "propulsion": 1,
  "route": {"lat": 55.75, "lon": 37.61, "speed_kmh": 50, "heading": 90, "period_s": 1}})";

struct Outcome {
  int exit = -1;
  std::string output;
  nlohmann::json verdict;
  std::string verdictText;
};

// Runs `runs` (names under examples/runs) against a scripted unit.
Outcome RunAgainstUnit(const std::vector<std::string>& runs, const UnitScript& script,
                       const std::string& verdictName = "verdict.json",
                       std::vector<std::string> extra = {}) {
  ScratchDirectory scratch("conform");
  WriteFile(scratch / "unit.json", kProfile);
  std::string list;
  for (const std::string& run : runs) list += (list.empty() ? "" : ",") + kRuns + run;
  const uint16_t port = FreePort();
  std::vector<std::string> args{"-b:127.0.0.1:" + std::to_string(port), "-r", "-t:" + list,
                                "-u:" + scratch / "unit.json", "-l:" + scratch / verdictName};
  args.insert(args.end(), extra.begin(), extra.end());
  KorvaneProcess korvane(args);
  Outcome outcome;
  const bool json = std::find(extra.begin(), extra.end(), "-j") != extra.end();
  if (!(json ? korvane.WaitForErrors(kPrompt) : korvane.WaitForOutput(kPrompt))) return outcome;
  korvane.Write("ready?\n");
  json ? korvane.WaitForErrors("Invalid command type") : korvane.WaitForOutput("Invalid command type");
  {
    ScriptedUnit unit(port, script);
    outcome.exit = korvane.WaitForExit(std::chrono::seconds(60));
  }
  outcome.output = korvane.Output();
  outcome.verdictText = ReadFile(scratch / verdictName);
  if (verdictName.ends_with(".json")) {
    outcome.verdict = nlohmann::json::parse(outcome.verdictText, nullptr, false);
  }
  return outcome;
}

std::string FirstFailure(const Outcome& outcome) {
  for (const auto& run : outcome.verdict["runs"]) {
    for (const auto& step : run["steps"]) {
      if (step["result"] == "failed") return step["reason"].get<std::string>();
    }
  }
  return "";
}

TEST(ConformanceEndToEnd, AuthorizationPassesAndIsReportedInTextAndJson) {
  const Outcome outcome = RunAgainstUnit({"authorization.json"}, {});
  EXPECT_EQ(outcome.exit, 0) << outcome.output;
  EXPECT_NE(outcome.output.find("Run 'authorization' step 1 'identity': passed"), std::string::npos);
  EXPECT_NE(outcome.output.find("Run 'authorization': PASSED"), std::string::npos);
  ASSERT_TRUE(outcome.verdict.is_object()) << outcome.verdictText;
  EXPECT_EQ(outcome.verdict["passed"], true);
  const auto& run = outcome.verdict["runs"][0];
  EXPECT_EQ(run["steps"].size(), 3u);
  EXPECT_EQ(run["unit"]["IMEI"], "861715033983983");
  EXPECT_EQ(run["unit"]["VIN"], "XTA21099012345678");
}

TEST(ConformanceEndToEnd, AWrongImeiFailsTheAuthorizationAndClosesTheConnection) {
  UnitScript script;
  script.imei = "860803066448313";
  const Outcome outcome = RunAgainstUnit({"authorization.json"}, script);
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_EQ(FirstFailure(outcome),
            "authorization failed: IMEI 860803066448313, expected 861715033983983");
  EXPECT_EQ(outcome.verdict["runs"][0]["steps"][2]["result"], "not run");
  EXPECT_NE(outcome.output.find("INFO: Connection closed by the conformance run"), std::string::npos);
}

TEST(ConformanceEndToEnd, TrackAccelerationMsdAndTestModePassInOneInvocation) {
  const Outcome outcome =
      RunAgainstUnit({"track.json", "acceleration.json", "msd.json", "test_mode.json"}, {});
  EXPECT_EQ(outcome.exit, 0) << outcome.output;
  ASSERT_EQ(outcome.verdict["runs"].size(), 4u) << outcome.verdictText;
  EXPECT_EQ(outcome.verdict["runs"][0]["steps"][0]["note"], "sent over TCP in place of SMS");
  EXPECT_NE(outcome.output.find("INFO: Step 'request' goes over TCP: the standard sends it by SMS"),
            std::string::npos);
}

TEST(ConformanceEndToEnd, TooFewPointsFailTheTrackInTheStandardsTerms) {
  UnitScript script;
  script.trackPoints = 12;
  const auto started = std::chrono::steady_clock::now();
  const Outcome outcome = RunAgainstUnit({"track.json"}, script);
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_EQ(FirstFailure(outcome),
            "TRACK_DATA: 12 points in 1 records within 30 s, expected at least 70");
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(30));
}

TEST(ConformanceEndToEnd, ConfigurationTwoPassesAndFailsWhenTheTidIsNotChanged) {
  UnitScript fresh;
  fresh.tid = 0;
  Outcome outcome = RunAgainstUnit({"configuration_2.json"}, fresh);
  EXPECT_EQ(outcome.exit, 0) << outcome.output;
  EXPECT_EQ(outcome.verdict["runs"][0]["unit"]["TID"], "4242");
  UnitScript stubborn = fresh;
  stubborn.keepTidAfterUnitId = true;
  outcome = RunAgainstUnit({"configuration_2.json"}, stubborn);
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_EQ(FirstFailure(outcome), "authorization failed: TID 0, expected 4242");
}

TEST(ConformanceEndToEnd, SettingsPassAndFailWhenAParameterIsNotStored) {
  UnitScript keeping;
  keeping.parameters[0x0417] = {5, 0, 0, 0};
  keeping.parameters[0x0418] = {5, 0, 0, 0};
  Outcome outcome = RunAgainstUnit({"settings.json"}, keeping);
  EXPECT_EQ(outcome.exit, 0) << outcome.output;
  EXPECT_EQ(outcome.verdict["runs"][0]["parameters"]["EGTS_UNIT_MIC_LEVEL"], "7");
  UnitScript forgetting = keeping;
  forgetting.forgetSets = true;
  outcome = RunAgainstUnit({"settings.json"}, forgetting);
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_EQ(FirstFailure(outcome), "EGTS_UNIT_MIC_LEVEL: read back 5, expected 7");
}

TEST(ConformanceEndToEnd, UploadPassesAndFailsOnAWrongWosAnswerAndOnAPartNotAnswered) {
  UnitScript unit;
  unit.parameters[0x0402] = {'2', '.', '3', '4'};
  Outcome outcome = RunAgainstUnit({"software_upload.json"}, unit);
  EXPECT_EQ(outcome.exit, 0) << outcome.output;
  EXPECT_EQ(outcome.verdict["runs"][0]["parameters"]["EGTS_UNIT_SW_VERSION"], "2.34");
  UnitScript refusing = unit;
  refusing.refuseLastPart = true;
  outcome = RunAgainstUnit({"software_upload.json"}, refusing);
  EXPECT_EQ(FirstFailure(outcome),
            "upload failed: part 5 of 5 answered 138 (Data check sum error), expected 0 (OK)")
      << outcome.verdictText;
  UnitScript silent = unit;
  silent.unansweredPart = 2;
  outcome = RunAgainstUnit({"software_upload.json"}, silent);
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_NE(FirstFailure(outcome).find("upload failed: part 2 of 5 not answered"), std::string::npos)
      << outcome.verdictText;
}

TEST(ConformanceEndToEnd, JunitVerdictIsWellFormedXml) {
  UnitScript script;
  script.imei = "860803066448313";
  const Outcome outcome = RunAgainstUnit({"authorization.json"}, script, "verdict.xml");
  ASSERT_FALSE(outcome.verdictText.empty());
  ScratchDirectory scratch("junit");
  WriteFile(scratch / "v.xml", outcome.verdictText);
  EXPECT_EQ(std::system(("xmllint --noout " + scratch / "v.xml").c_str()), 0);
  EXPECT_NE(outcome.verdictText.find("<failure message=\"authorization failed: IMEI 860803066448313"),
            std::string::npos);
  EXPECT_NE(outcome.verdictText.find("tests=\"3\" failures=\"1\" errors=\"0\" skipped=\"2\""),
            std::string::npos);
}

TEST(ConformanceEndToEnd, WithJsonEveryStepIsAnObjectOfTheSchema) {
  UnitScript script;
  script.vin = "XTA21099000000000";
  const Outcome outcome = RunAgainstUnit({"authorization.json"}, script, "verdict.json", {"-j"});
  EXPECT_EQ(outcome.exit, 1);
  EXPECT_EQ(SchemaFindings(outcome.output), "");
  std::vector<nlohmann::json> steps;
  for (const nlohmann::json& line : ParseJsonLines(outcome.output)) {
    if (line["type"] == "step") steps.push_back(line);
  }
  ASSERT_EQ(steps.size(), 2u) << outcome.output;
  EXPECT_EQ(steps[0]["passed"], true);
  EXPECT_EQ(steps[1]["reason"], "authentication failed: VIN XTA21099000000000, expected XTA21099012345678");
}

TEST(ConformanceEndToEnd, ARunThatIsNoRunIsRefusedBeforeAnythingListens) {
  ScratchDirectory scratch("conform");
  WriteFile(scratch / "bad.json", R"({"name": "x", "steps": [{"name": "a", "expect": "NOTHING"}]})");
  KorvaneProcess korvane({"-b:127.0.0.1:" + std::to_string(FreePort()), "-r", "-t:" + scratch / "bad.json"});
  EXPECT_EQ(korvane.WaitForExit(), 2);
  EXPECT_NE(korvane.Output().find("steps[0].expect 'NOTHING' is not known"), std::string::npos);
}

}  // namespace

namespace {

TEST(LiveWordsEndToEnd, GetAndSetAParameterOfAConnectedUnit) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  UnitScript script;
  script.parameters[0x0417] = {5, 0, 0, 0};
  ScriptedUnit unit(server.Port(), script);
  ASSERT_TRUE(server.WaitFor("Authorization answered with result 0"));
  server.Process().Write("send 000001 set EGTS_UNIT_MIC_LEVEL 11\n");
  ASSERT_TRUE(server.WaitFor("ERROR: incorrect parameter: EGTS_UNIT_MIC_LEVEL=11: "));
  server.Process().Write("send 000001 set EGTS_UNIT_MIC_LEVEL 7\n");
  ASSERT_TRUE(server.WaitFor("Command 'set' PARAMETER=EGTS_UNIT_MIC_LEVEL (0x0417) VALUE=7"));
  ASSERT_TRUE(server.WaitFor("answered: EGTS_CC_OK (EGTS_UNIT_MIC_LEVEL)\n"));
  server.Process().Write("send 000001 get 0x0417\n");
  EXPECT_TRUE(server.WaitFor("answered: EGTS_CC_OK (EGTS_UNIT_MIC_LEVEL) value 7\n"));
  server.Process().Write("send 000001 get EGTS_NO_SUCH\n");
  EXPECT_TRUE(server.WaitFor("ERROR: Unknown parameter 'EGTS_NO_SUCH'"));
  server.Quit();
}

}  // namespace

namespace {

using namespace testing_support;

// The unit's SMS-DELIVER answer (CT_COMCONF, CC_OK) to the command packet a
// SUBMIT PDU carries, as hex for the console.
std::string DeliverAnswer(const std::string& submitHex) {
  Bytes submit;
  for (std::size_t i = 0; i + 1 < submitHex.size(); i += 2) {
    submit.push_back(static_cast<uint8_t>(std::stoul(submitHex.substr(i, 2), nullptr, 16)));
  }
  std::string error;
  const auto message = sms::Parse(submit, error);
  if (!message || message->data.size() < 11 + 7 + 3 + 5) return "";
  const Bytes& command = message->data;
  const uint32_t cid = static_cast<uint32_t>(command[22] | command[23] << 8 | command[24] << 16 |
                                             command[25] << 24);
  Bytes srd{0x10};
  PutU32(srd, cid);
  PutU32(srd, 0);
  srd.push_back(0);
  const Bytes packet = PacketBytes(1, RecordBytes({.RN = 1, .SST = 4, .RST = 4}, SubrecordBytes(51, srd)), 1);
  // SCA none, DELIVER, OA +79000000001, PID 0, DCS 04, SCTS, UDL, data.
  Bytes pdu{0x00, 0x04, 0x0B, 0x91, 0x97, 0x00, 0x00, 0x00, 0x00, 0xF1, 0x00, 0x04,
            0x62, 0x21, 0x80, 0x02, 0x51, 0x03, 0x21, static_cast<uint8_t>(packet.size())};
  pdu.insert(pdu.end(), packet.begin(), packet.end());
  std::string hex;
  for (const uint8_t byte : pdu) hex += "0123456789ABCDEF"[byte >> 4], hex += "0123456789ABCDEF"[byte & 15];
  return hex;
}

TEST(ConformanceEndToEnd, ConfigurationOneGoesAsSmsPdusAndTakesTypedAnswers) {
  ScratchDirectory scratch("conform");
  WriteFile(scratch / "unit.json", kProfile);
  const uint16_t port = FreePort();
  KorvaneProcess korvane({"-b:127.0.0.1:" + std::to_string(port), "-r",
                          "-t:" + kRuns + "configuration_1.json", "-u:" + scratch / "unit.json"});
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  for (const char* step : {"set EGTS_GPRS_APN", "set EGTS_SERVER_ADDRESS", "set EGTS_UNIT_ID"}) {
    const std::string lead = std::string("SMS-SUBMIT PDU 1 of 1 for step '") + step + "': ";
    ASSERT_TRUE(korvane.WaitForOutput(lead)) << korvane.Output();
    ASSERT_TRUE(korvane.WaitForOutput("\n"));
    const std::string& out = korvane.Output();
    const std::size_t at = out.rfind(lead) + lead.size();
    const std::string answer = DeliverAnswer(out.substr(at, out.find('\n', at) - at));
    ASSERT_FALSE(answer.empty());
    korvane.Write("sms " + answer + "\n");
    ASSERT_TRUE(korvane.WaitForOutput(std::string("'") + step + "': passed"));
  }
  UnitScript configured;
  configured.tid = 4242;
  ScriptedUnit unit(port, configured);
  EXPECT_EQ(korvane.WaitForExit(std::chrono::seconds(20)), 0) << korvane.Output();
  EXPECT_NE(korvane.Output().find("INFO: SMS answer of the unit taken"), std::string::npos);
}

}  // namespace

namespace {

// Korvane's own simulated unit (-e: with -s:) plays the unit; the runs `names` must
// all pass.
void PassAgainstTheSimulatedUnit(const nlohmann::json& profile,
                                 std::initializer_list<const char*> names) {
  ScratchDirectory scratch("conform");
  WriteFile(scratch / "unit.json", profile.dump());
  std::string runs;
  for (const char* run : names) runs += (runs.empty() ? "" : ",") + kRuns + run + ".json";
  const uint16_t port = FreePort();
  KorvaneProcess platform({"-b:127.0.0.1:" + std::to_string(port), "-r", "-t:" + runs,
                           "-u:" + scratch / "unit.json", "-l:" + scratch / "verdict.xml"});
  ASSERT_TRUE(platform.WaitForOutput(kPrompt));
  platform.Write("ready?\n");
  ASSERT_TRUE(platform.WaitForOutput("Invalid command type"));
  // The unit reports every packet; nobody reads it here, so it writes to
  // /dev/null rather than fill a pipe and stop.
  std::thread unit([&] {
    const std::string command = std::string(KORVANE_BINARY) + " -e:" + scratch / "unit.json" +
                                " -s:127.0.0.1:" + std::to_string(port) +
                                " </dev/null >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
  });
  EXPECT_EQ(platform.WaitForExit(std::chrono::seconds(40)), 0) << platform.Output();
  unit.join();
  const std::string passed = std::to_string(names.size()) + " of " + std::to_string(names.size()) +
                             " runs passed";
  EXPECT_NE(platform.Output().find(passed), std::string::npos) << platform.Output();
  EXPECT_EQ(std::system(("xmllint --noout " + scratch / "verdict.xml").c_str()), 0);
}

TEST(ConformanceEndToEnd, BundledRunsPassAgainstTheSimulatedUnit) {
  nlohmann::json profile = nlohmann::json::parse(ReadFile(std::string(KORVANE_EXAMPLES_DIR) + "/unit_profile.json"));
  profile["route"]["period_s"] = 0.05;  // 100 points in the 5 s the track run waits
  profile["accel"] = 600;
  PassAgainstTheSimulatedUnit(profile, {"authorization", "settings", "software_upload", "msd",
                                        "test_mode", "acceleration", "track"});
  profile["tid"] = 0;  // given its identifier by the platform
  PassAgainstTheSimulatedUnit(profile, {"configuration_2"});
}

}  // namespace

#include "support/capture_writer.h"
#include "support/run_korvane.h"

namespace {

// A capture of a unit that authorizes and sends a track of `points` points.
Bytes TrackCapture(uint8_t points) {
  TcpConversation tcp(V4End(10, 0, 0, 2, 40522), V4End(10, 0, 0, 1, 20629));
  std::vector<WrittenSegment> segments = tcp.Open();
  Bytes identity;
  PutU32(identity, 1001);
  identity.push_back(0x02);  // IMEIE
  const std::string imei = "861715033983983";
  identity.insert(identity.end(), imei.begin(), imei.end());
  Append(segments, tcp.Send(true, PacketBytes(1, RecordBytes({.RN = 1, .SST = 1, .RST = 1},
                                                             SubrecordBytes(1, identity)), 1)));
  Bytes track{points, 0, 0, 0, 0};
  for (uint8_t i = 0; i < points; ++i) track.push_back(0x09);
  Append(segments, tcp.Send(true, PacketBytes(1, RecordBytes({.RN = 2, .SST = 10, .RST = 10},
                                                             SubrecordBytes(62, track)), 2)));
  Append(segments, tcp.Close());
  return PcapOfFrames(Link::kEthernet, Frames(Link::kEthernet, segments));
}

TEST(ConformanceEndToEnd, ACaptureIsCheckedForTheStepsThatExpect) {
  ScratchDirectory scratch("conform");
  for (const uint8_t points : {71, 12}) {
    WriteBytes(scratch / "track.pcap", TrackCapture(points));
    const RunResult result = RunKorvaneBinary(
        {"-p:" + scratch / "track.pcap", "-t:" + kRuns + "track.json", "-l:" + scratch / "v.json"}, "");
    const nlohmann::json verdict = nlohmann::json::parse(ReadFile(scratch / "v.json"), nullptr, false);
    ASSERT_TRUE(verdict.is_object()) << result.output;
    const auto& steps = verdict["runs"][0]["steps"];
    EXPECT_EQ(steps[0]["result"], "not run");
    EXPECT_EQ(steps[0]["reason"], "it sends: not checked against a capture");
    if (points == 71) {
      EXPECT_EQ(result.exitCode, 0) << result.output;
      EXPECT_EQ(steps[1]["result"], "passed");
    } else {
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_EQ(steps[1]["reason"],
                "TRACK_DATA: 12 points in 1 records within 30 s, expected at least 70");
    }
  }
}

}  // namespace
