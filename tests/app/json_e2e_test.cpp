// -j end to end for the packets of the command line (-f:, -c) and what a
// platform answers (-s:): standard output is JSON Lines the schema accepts,
// and every text for a person is on standard error, as it is without -j.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/korvane_process.h"
#include "support/run_korvane.h"
#include "support/terminal.h"

namespace {

using namespace testing_support;
using nlohmann::json;

const std::string kExample = std::string(KORVANE_EXAMPLES_DIR) + "/ecall_track_msd.bin";

// Each stdout line parses, the schema accepts the whole output, and there is
// at least one line.
std::vector<json> CheckedLines(const RunResult& run) {
  EXPECT_EQ(SchemaFindings(run.output), "") << run.output;
  return ParseJsonLines(run.output);
}

const json& Subrecord(const json& record, const std::string& name) {
  for (const json& subrecord : record.at("subrecords")) {
    if (subrecord.at("name") == name) return subrecord;
  }
  ADD_FAILURE() << "no " << name << " in " << record.dump();
  static const json kNone = json::object();
  return kNone;
}

TEST(JsonEndToEnd, ExampleFileCarriesItsDecodedValues) {
  const RunResult run = RunKorvaneBinary({"-j", "-f:" + kExample}, "");
  ASSERT_EQ(run.exitCode, 0);
  const std::vector<json> lines = CheckedLines(run);
  ASSERT_EQ(lines.size(), 1u) << run.output;
  const json& packet = lines[0];
  EXPECT_EQ(packet.at("source"), "file");
  EXPECT_EQ(packet.at("file"), kExample);
  EXPECT_EQ(packet.at("bytes").get<std::string>().size(), 2u * 126);
  EXPECT_EQ(packet.at("transport").at("PID"), 257);
  const json& frame = packet.at("frame");
  EXPECT_EQ(frame.at("result"), 0);
  ASSERT_EQ(frame.at("records").size(), 1u);
  const json& record = frame.at("records")[0];
  EXPECT_EQ(record.at("OID"), 1234);
  EXPECT_EQ(record.at("service"), "EGTS_ECALL_SERVICE");
  ASSERT_EQ(record.at("subrecords").size(), 4u);

  const json& track = Subrecord(record, "EGTS_SR_TRACK_DATA").at("data");
  EXPECT_EQ(track.at("time"), "2027-01-01T00:00:00Z");
  const json& point = track.at("points").at(0);
  EXPECT_NEAR(point.at("latitude").get<double>(), 55.75, 1e-6);
  EXPECT_NEAR(point.at("longitude").get<double>(), 37.62, 1e-6);
  EXPECT_DOUBLE_EQ(point.at("speed_kmh").get<double>(), 60.0);
  EXPECT_EQ(point.at("heading"), 300);

  const json& msd = Subrecord(record, "EGTS_SR_ECALL_MSD_DATA").at("data");
  EXPECT_EQ(msd.at("VIN"), "XTA21099043579312");
  EXPECT_EQ(msd.at("TIME_STAMP"), 1798761600);
  EXPECT_EQ(msd.at("time"), "2027-01-01T00:00:00Z");
  EXPECT_NEAR(msd.at("latitude").get<double>(), 55.75, 1e-9);

  EXPECT_EQ(Subrecord(record, "EGTS_SR_ACCEL_DATA").at("data").at("ADS").size(), 1u);
  EXPECT_EQ(Subrecord(record, "EGTS_SR_ECALL_RAW_MSD_DATA").at("data").at("MSD"),
            "000102030405060708090A0B0C0D0E0F");
}

// Standard input as hex: a sound header; then a routed header cut short
// (139), in a run whose options print a message, so that standard error
// holds the banner, the message, the rule and the key prompt exactly as the
// same run without -j prints them around its report.
TEST(JsonEndToEnd, StandardInputGivesObjectsAndEveryTextGoesToStandardError) {
  const RunResult sound = RunKorvaneBinary({"-j", "-c"}, "01 00 03 0B 00 00 00 01 00 01 B8\n");
  const std::vector<json> soundLines = CheckedLines(sound);
  ASSERT_EQ(soundLines.size(), 1u) << sound.output;
  EXPECT_EQ(soundLines[0].at("source"), "stdin");
  EXPECT_EQ(soundLines[0].at("bytes"), "0100030B000000010001B8");
  EXPECT_EQ(soundLines[0].at("transport").at("HCS"), 0xB8);
  EXPECT_EQ(soundLines[0].at("frame").at("records"), json::array());

  const std::vector<std::string> args = {"-b:127.0.0.1:70000", "-c"};
  const std::string cut = "0100201000000001000100\n";
  std::vector<std::string> jsonArgs = args;
  jsonArgs.insert(jsonArgs.begin(), "-j");
  const RunResult asJson = RunKorvaneBinary(jsonArgs, cut);
  const RunResult asText = RunKorvaneBinary(args, cut);
  const std::vector<json> lines = CheckedLines(asJson);
  ASSERT_EQ(lines.size(), 2u) << asJson.output;
  EXPECT_EQ(lines[0].at("type"), "log");
  EXPECT_EQ(lines[0].at("text"), "invalid port number for parameter -b.");
  const json& transport = lines[1].at("transport");
  EXPECT_EQ(transport.at("result"), 139);
  EXPECT_EQ(transport.at("RTE"), 1);
  EXPECT_FALSE(transport.contains("HCS"));
  EXPECT_FALSE(lines[1].contains("frame"));

  // The text run's output less its packet report.
  const std::string& text = asText.output;
  const size_t report = text.find("Packet data:");
  const size_t rule = text.find("\n" + std::string(61, '-') + "\n");
  ASSERT_NE(report, std::string::npos) << text;
  ASSERT_NE(rule, std::string::npos) << text;
  EXPECT_EQ(asJson.errors, text.substr(0, report) + text.substr(rule)) << asJson.errors;
  EXPECT_NE(asJson.errors.find(BannerText() + "ERROR: invalid port number for parameter -b.\n"),
            std::string::npos);
  EXPECT_NE(asJson.errors.find("Press any key to exit...\n"), std::string::npos);
}

TEST(JsonEndToEnd, PlatformAnswersArePlatformObjects) {
  const uint16_t port = FreePort();
  KorvaneProcess platform({"-j", "-r", "-b:127.0.0.1:" + std::to_string(port)});
  // The console answers once the listener is set up.
  platform.Write("ready?\n");
  ASSERT_TRUE(platform.WaitForErrors("Please, type 'command' first.\n"));
  const RunResult sender =
      RunKorvaneBinary({"-j", "-f:" + kExample, "-s:127.0.0.1:" + std::to_string(port)}, "");
  platform.Write("quit\n");
  EXPECT_EQ(platform.WaitForExit(), 0);
  EXPECT_EQ(sender.exitCode, 0);

  const std::vector<json> lines = CheckedLines(sender);
  const std::vector<json> packets = PacketsFrom(lines, "file");
  ASSERT_EQ(packets.size(), 1u) << sender.output;
  const std::vector<json> answers = PacketsFrom(lines, "platform");
  ASSERT_EQ(answers.size(), 1u) << sender.output;
  const json& answer = answers[0];
  EXPECT_EQ(answer.at("source"), "platform");
  EXPECT_EQ(answer.at("transport").at("PT"), 0);
  EXPECT_EQ(answer.at("frame").at("RPID"), packets[0].at("transport").at("PID"));
  EXPECT_EQ(answer.at("frame").at("PR"), 0);
  EXPECT_NE(sender.errors.find("INFO: Packet sent to the platform"), std::string::npos)
      << sender.errors;
  EXPECT_EQ(lines[1].at("type"), "log");
  EXPECT_EQ(lines[1].at("text").get<std::string>().rfind("Packet sent to the platform", 0), 0u);
  // What the platform sent is the confirmation the other side reported.
  const std::vector<json> responses = PacketsFrom(ParseJsonLines(platform.Output()), "response");
  ASSERT_EQ(responses.size(), 1u) << platform.Output();
  EXPECT_EQ(responses[0].at("bytes"), answer.at("bytes"));
}

// A run that fails says so on standard output too: each error and warning
// of the run is a log object there, and standard error keeps its text.
TEST(JsonEndToEnd, FailuresAreLogObjectsOnStandardOutput) {
  const std::string closedPort = std::to_string(FreePort());
  struct Case {
    std::vector<std::string> args;
    std::string level;
    std::string text;  // the start of the log object's text
  } cases[] = {
      {{"-f:/nonexistent/packet.bin"}, "ERROR", "can not open file '/nonexistent/packet.bin' 2"},
      {{"-f:/nonexistent/packet.bin"}, "WARNING", "packet data not found"},
      {{"-f"}, "ERROR", "No file name found for parameter -f:"},
      {{"-p:/nonexistent/capture.pcap"}, "ERROR", "Can not read the capture '/nonexistent/capture.pcap': "},
      {{"-c", "-s:127.0.0.1:" + closedPort}, "ERROR", "Can not connect to the platform 127.0.0.1:" + closedPort},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "-j");
    const RunResult run = RunKorvaneBinary(args, "0100030B000000010001B8");
    EXPECT_EQ(SchemaFindings(run.output), "") << c.text;
    bool found = false;
    for (const json& line : ParseJsonLines(run.output)) {
      found = found || (line.at("type") == "log" && line.at("level") == c.level &&
                        line.at("text").get<std::string>().rfind(c.text, 0) == 0);
    }
    EXPECT_TRUE(found) << c.text << "\n" << run.output;
    EXPECT_NE(run.errors.find(c.level + ": " + c.text), std::string::npos) << run.errors;
  }
}

}  // namespace
