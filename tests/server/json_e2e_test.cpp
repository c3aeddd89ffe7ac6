// -j end to end for the server's sources: terminals on TCP with their
// confirmations, the incoming directory and operator command packets.
// Standard output must be JSON Lines the schema accepts.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/json_lines.h"
#include "support/korvane_process.h"
#include "support/packet_builder.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "util/text.h"

namespace {

using namespace testing_support;
using nlohmann::json;

// A server with -j and the given options.
struct JsonServer {
  explicit JsonServer(std::vector<std::string> args) : korvane(With(std::move(args))) {}
  // The operator console answers only once the set-up (listener, directories)
  // is done; its answers are on standard error.
  bool Ready() {
    korvane.Write("ready?\n");
    return korvane.WaitForErrors("Please, type 'command' first.\n");
  }
  static std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.begin(), "-j");
    return args;
  }
  // Quits and returns the parsed lines of standard output, checked against
  // the schema.
  std::vector<json> Quit() {
    korvane.Write("quit\n");
    EXPECT_EQ(korvane.WaitForExit(), 0);
    EXPECT_EQ(SchemaFindings(korvane.Output()), "") << korvane.Output();
    return ParseJsonLines(korvane.Output());
  }
  KorvaneProcess korvane;
};

struct Directories {
  ScratchDirectory root{"korvane_json"};
  std::string in = root / "in";
  std::string work = root / "work";
  std::string out = root / "out";
  std::vector<std::string> Args() const { return {"-n:" + in, "-w:" + work, "-o:" + out}; }
};

Bytes TrackPacket(uint16_t pid) {
  const Bytes track = {0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0xFF, 0xFF, 0xFF,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD2, 0x84, 0x10};
  RecordFields fields;
  fields.SST = 10;
  fields.RST = 10;
  return PacketBytes(1, RecordBytes(fields, SubrecordBytes(62, track)), pid);
}

TEST(JsonServerEndToEnd, TwoTerminalsWithConfirmations) {
  const uint16_t port = FreePort();
  JsonServer server({"-r", "-b:127.0.0.1:" + std::to_string(port)});
  ASSERT_TRUE(server.Ready());
  Terminal first(port);
  Terminal second(port);
  ASSERT_TRUE(first.Connected() && second.Connected());
  for (uint16_t pid : {0x0101, 0x0102}) {
    ASSERT_TRUE(first.Send(TrackPacket(pid)));
    ASSERT_TRUE(second.Send(TrackPacket(pid + 0x100)));
  }
  // Each confirmation is 29 bytes; all four arrive before the quit.
  EXPECT_EQ(first.Read(2 * 29).size(), 2u * 29);
  EXPECT_EQ(second.Read(2 * 29).size(), 2u * 29);
  ASSERT_TRUE(server.korvane.WaitForCount("\"source\":\"response\"", 4));
  const std::vector<json> lines = server.Quit();

  std::set<std::string> clients;
  std::set<std::string> peers;
  for (size_t i = 0; i < lines.size(); ++i) {
    const json& line = lines[i];
    if (line.at("type") == "log") {
      for (const char* key : {"time", "source", "level", "text"}) {
        EXPECT_TRUE(line.at(key).is_string()) << line.dump();
      }
      continue;
    }
    if (line.at("source") != "tcp") continue;
    clients.insert(line.at("client").get<std::string>());
    peers.insert(line.at("peer").get<std::string>());
    EXPECT_EQ(line.at("peer").get<std::string>().rfind("127.0.0.1:", 0), 0u) << line.dump();
    // Its confirmation follows at once, from the same client.
    ASSERT_LT(i + 1, lines.size());
    const json& response = lines[i + 1];
    EXPECT_EQ(response.at("source"), "response") << response.dump();
    EXPECT_EQ(response.at("client"), line.at("client"));
    EXPECT_EQ(response.at("peer"), line.at("peer"));
    EXPECT_EQ(response.at("frame").at("RPID"), line.at("transport").at("PID"));
    EXPECT_EQ(response.at("frame").at("records").at(0).at("subrecords").at(0).at("name"),
              "EGTS_SR_RECORD_RESPONSE");
  }
  EXPECT_EQ(PacketsFrom(lines, "tcp").size(), 4u);
  EXPECT_EQ(clients.size(), 2u);
  EXPECT_EQ(peers.size(), 2u);
  size_t connections = 0;
  for (const json& line : lines) {
    if (line.at("type") == "log" && line.at("source") == "Main" &&
        line.at("text").get<std::string>().find("New incomming TCP/IP connection") == 0) {
      ++connections;
    }
  }
  EXPECT_EQ(connections, 2u);
  EXPECT_EQ(server.korvane.Errors().find("{\""), std::string::npos) << server.korvane.Errors();
}

// A file name is bytes: a CP-1251 word and a byte no encoding has still give
// UTF-8 JSON; the UTF-8 part of the name is kept as it is.
TEST(JsonServerEndToEnd, IncomingFileWithNonAsciiName) {
  Directories dirs;
  std::filesystem::create_directories(dirs.in);
  const std::string name = "\xD1\x82\xD1\x80\xD0\xB5\xD0\xBA_\xCF\xF0\xE8\xFF.txt";
  const Bytes packet = TrackPacket(7);
  WriteFile(dirs.in + "/" + name,
            "000001\r\n112\r\n1 4\r\n1700000000\r\n" + std::string(packet.begin(), packet.end()));
  JsonServer server(dirs.Args());
  ASSERT_TRUE(server.korvane.WaitForOutput("\"source\":\"incoming\""));
  const std::vector<json> files = PacketsFrom(server.Quit(), "incoming");
  ASSERT_EQ(files.size(), 1u);
  const std::string file = files[0].at("file").get<std::string>();
  EXPECT_EQ(file.rfind("\xD1\x82\xD1\x80\xD0\xB5\xD0\xBA_", 0), 0u) << file;
  EXPECT_NE(file.find("\xEF\xBF\xBD"), std::string::npos) << file;  // U+FFFD
  EXPECT_EQ(file.substr(file.size() - 4), ".txt");
  EXPECT_EQ(files[0].at("transport").at("PID"), 7);
  EXPECT_EQ(files[0].at("frame").at("records").size(), 1u);
}

TEST(JsonServerEndToEnd, OperatorCommandNamesItsOutgoingFile) {
  Directories dirs;
  JsonServer server(dirs.Args());
  ASSERT_TRUE(server.Ready());
  server.korvane.Write("command EGTS_SIM_PIN 112 5 1234\n");
  ASSERT_TRUE(server.korvane.WaitForOutput("\"source\":\"command\""));
  const std::vector<json> commands = PacketsFrom(server.Quit(), "command");
  EXPECT_NE(server.korvane.Errors().find("Command 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=5"),
            std::string::npos)
      << server.korvane.Errors();
  ASSERT_EQ(commands.size(), 1u);
  const std::vector<std::string> written = FileNames(dirs.out);
  ASSERT_EQ(written.size(), 1u);
  EXPECT_EQ(commands[0].at("file"), written[0]);
  // The file holds four header lines, then the bytes the object shows.
  const std::string content = ReadFile(dirs.out + "/" + written[0]);
  size_t body = 0;
  for (int line = 0; line < 4; ++line) body = content.find("\r\n", body) + 2;
  const std::string raw = content.substr(body);
  EXPECT_EQ(commands[0].at("bytes"),
            HexText(reinterpret_cast<const uint8_t*>(raw.data()), raw.size()));
  const json& subrecord = commands[0].at("frame").at("records").at(0).at("subrecords").at(0);
  EXPECT_EQ(subrecord.at("name"), "EGTS_SR_COMMAND_DATA");
  EXPECT_EQ(subrecord.at("data").at("CCD_name"), "EGTS_SIM_PIN");
}

}  // namespace
