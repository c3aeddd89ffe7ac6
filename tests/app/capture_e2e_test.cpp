// Capture mode end to end: captures written by the test, read by the real
// binary with -p:, its reports, checks and summary read back.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/capture_writer.h"
#include "support/json_lines.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "util/text.h"

namespace {

using namespace testing_support;
using namespace std::chrono_literals;

Bytes Identity(uint16_t pid, uint16_t rn) {
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 1;
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(1, {0x6D, 0x04, 0, 0, 0})), pid);
}

Bytes ResultCode(uint16_t pid, uint16_t rn, uint8_t rcd) {
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 1;
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(9, {rcd})), pid);
}

// POS_DATA of 21 bytes (no altitude) under TELEDATA.
Bytes Position(uint16_t pid, uint16_t rn) {
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 2;
  const Bytes srd = {0xD9, 0x23, 0x82, 0x13, 0x00, 0x8D, 0xCE, 0xA0, 0x80, 0x70, 0xEC,
                     0x78, 0x13, 0x38, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x01, 0x00};
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(16, srd)), pid);
}

Bytes Confirmation(uint16_t pid, uint16_t rpid, uint16_t crn, uint8_t status, uint8_t service) {
  RecordFields record;
  record.RN = pid;
  record.SST = record.RST = service;
  const Bytes frame = {static_cast<uint8_t>(rpid), static_cast<uint8_t>(rpid >> 8), 0};
  return PacketBytes(0,
                     Concat({frame, RecordBytes(record, SubrecordBytes(0, {static_cast<uint8_t>(crn),
                                                                           0, status}))}),
                     pid);
}

const TcpEnd kTerminal = V4End(10, 0, 0, 2, 40522);
const TcpEnd kPlatform = V4End(10, 0, 0, 1, 20629);
const std::string kConnection = "10.0.0.2:40522 -> 10.0.0.1:20629";

// Authorization and data, both ways: the terminal resends one packet, and
// its last packet is never confirmed before the connection closes.
std::vector<WrittenSegment> Conversation(TcpConversation& tcp, std::size_t piece = 1460) {
  std::vector<WrittenSegment> segments = tcp.Open();
  Append(segments, tcp.Send(true, Identity(1, 1), piece));
  Append(segments, tcp.Send(false, Confirmation(1, 1, 1, 0, 1), piece));
  Append(segments, tcp.Send(false, ResultCode(2, 2, 0), piece));
  Append(segments, tcp.Send(true, Confirmation(2, 2, 2, 0, 1), piece));
  Append(segments, tcp.Send(true, Position(3, 3), piece));
  Append(segments, tcp.Send(true, Position(3, 3), piece));
  Append(segments, tcp.Send(false, Confirmation(3, 3, 3, 0, 2), piece));
  Append(segments, tcp.Send(true, Position(4, 4), piece));
  Append(segments, tcp.Close());
  return segments;
}

std::string HexOf(const Bytes& bytes) { return HexText(bytes.data(), bytes.size()); }

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

RunResult RunCapture(const ScratchDirectory& scratch, const Bytes& capture,
                     const std::vector<std::string>& options = {}) {
  const std::string path = scratch / "capture.pcap";
  WriteBytes(path, capture);
  std::vector<std::string> args = options;
  args.push_back("-p:" + path);
  return RunKorvaneBinary(args, "");
}

TEST(CaptureEndToEnd, AConversationIsReportedWithItsChecksAndSummary) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  const RunResult run = RunCapture(scratch, PcapngFile(Link::kEthernet, Conversation(tcp)));
  const std::string& out = run.output;

  EXPECT_EQ(Count(out, "UTC  " + kConnection + "  terminal -> platform\n\nPacket data: "), 5u)
      << out;
  EXPECT_EQ(Count(out, "UTC  " + kConnection + "  platform -> terminal\n\nPacket data: "), 3u);
  // In the order they were sent: the identity first, the unconfirmed one last.
  EXPECT_LT(out.find("Packet data: 28 bytes"), out.find("Packet data: 24 bytes"));
  EXPECT_EQ(Count(out, kConnection + "  INFO: Authorization answered with result 0 (OK)\n"), 1u);
  EXPECT_EQ(Count(out, kConnection + "  WARNING: Packet 3 received again\n"), 1u);
  EXPECT_EQ(Count(out, "  WARNING: Packet 4 of the terminal not confirmed before the connection "
                       "closed (2 ms)\n"),
            1u);
  EXPECT_EQ(Count(out, "connection closed (2 ms)\n"), 2u) << out;
  EXPECT_EQ(Count(out, "Data before authorization"), 0u);

  const size_t summary = out.find("Capture summary:");
  ASSERT_NE(summary, std::string::npos);
  EXPECT_NE(out.find("  " + kConnection + "\n    terminal -> platform: 5 packets, 5 records\n"
                     "    platform -> terminal: 3 packets, 3 records\n"
                     "    authorization: answered with 0 (OK)\n",
                     summary),
            std::string::npos)
      << out.substr(summary);
  EXPECT_NE(out.find("Totals: ", summary), std::string::npos);
}

// The same conversation cut into small segments that arrive reordered and
// repeated, with one segment lost: the packets whole, in order, and one
// warning with the bytes lost.
TEST(CaptureEndToEnd, ReorderedRepeatedAndLostSegments) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  std::vector<WrittenSegment> segments = Conversation(tcp, 10);
  // Segments 3..: the identity's pieces. Swap two, repeat one.
  std::swap(segments[3], segments[4]);
  segments.insert(segments.begin() + 6, segments[5]);
  // Lose a piece of the last POS_DATA (the terminal's last data segments
  // come before the close).
  size_t lost = 0;
  for (size_t i = segments.size(); i-- > 0;) {
    if (segments[i].from.port == kTerminal.port && segments[i].payload.size() == 10) {
      lost = i - 2;
      break;
    }
  }
  const size_t lostBytes = segments[lost].payload.size();
  segments.erase(segments.begin() + static_cast<long>(lost));
  const RunResult run = RunCapture(scratch, PcapFile(Link::kSll2, segments));
  const std::string& out = run.output;

  EXPECT_EQ(Count(out, "  WARNING: " + std::to_string(lostBytes) +
                           " bytes terminal -> platform are missing from the capture\n"),
            1u)
      << out;
  EXPECT_EQ(Count(out, "Packet data: 28 bytes\n " + HexOf(Identity(1, 1))), 1u);
  EXPECT_EQ(Count(out, "  Validating result   - 0 (OK)"), 7u);  // the cut one is gone
  EXPECT_NE(out.find("    gaps: 1, " + std::to_string(lostBytes) + " bytes lost\n"),
            std::string::npos);
}

// Two connections at once, and one whose start is not in the capture: each
// packet names its own connection, and the platform is the lower port.
TEST(CaptureEndToEnd, InterleavedConnectionsAndAStreamJoinedMidPacket) {
  ScratchDirectory scratch;
  const TcpEnd otherTerminal = V4End(10, 0, 0, 3, 50000);
  TcpConversation first(kTerminal, kPlatform);
  TcpConversation second(otherTerminal, kPlatform, 7000, 900000);
  std::vector<WrittenSegment> a = Conversation(first);
  std::vector<WrittenSegment> b = Conversation(second);
  // The second one joined late: no handshake, and half of its first packet.
  b.erase(b.begin(), b.begin() + 3);
  b[0].payload.erase(b[0].payload.begin(), b[0].payload.begin() + 14);
  std::vector<WrittenSegment> both;
  for (size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < a.size()) both.push_back(a[i]);
    if (i < b.size()) both.push_back(b[i]);
  }
  const RunResult run = RunCapture(scratch, PcapFile(Link::kEthernet, both), {"-j"});

  EXPECT_EQ(SchemaFindings(run.output), "");
  std::map<std::string, int> packetsOf;
  int summaries = 0;
  for (const nlohmann::json& object : ParseJsonLines(run.output)) {
    if (object["type"] == "summary" && object.contains("connection")) ++summaries;
    if (object["type"] != "packet") continue;
    EXPECT_EQ(object["source"], "pcap");
    ++packetsOf[object["connection"].get<std::string>() + " " +
                object["direction"].get<std::string>()];
  }
  EXPECT_EQ(packetsOf[kConnection + " terminal -> platform"], 5);
  EXPECT_EQ(packetsOf[kConnection + " platform -> terminal"], 3);
  // The identity was cut; the rest of the late connection is whole.
  EXPECT_EQ(packetsOf["10.0.0.3:50000 -> 10.0.0.1:20629 terminal -> platform"], 4);
  EXPECT_EQ(packetsOf["10.0.0.3:50000 -> 10.0.0.1:20629 platform -> terminal"], 3);
  EXPECT_EQ(summaries, 2);
}

// A packet left unconfirmed is late only once 5000 ms of capture time have
// passed; when its connection closes sooner it is named so, with how long
// it waited.
TEST(CaptureEndToEnd, AnUnconfirmedPacketIsLateOnlyAfter5000ms) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  const std::vector<WrittenSegment> segments = Conversation(tcp);
  std::vector<CapturedFrame> frames = Frames(Link::kEthernet, segments);
  const std::string path = scratch / "capture.pcap";
  WriteBytes(path, PcapOfFrames(Link::kEthernet, frames));
  std::string out = RunKorvaneBinary({"-p:" + path}, "").output;
  // Position 4 is frame 10; the connection closes with frame 12.
  EXPECT_EQ(Count(out, "WARNING: Packet 4 of the terminal not confirmed before the connection "
                       "closed (2 ms)\n"),
            1u)
      << out;
  EXPECT_EQ(Count(out, "WARNING: Record 4 of the terminal not confirmed before the connection "
                       "closed (2 ms)\n"),
            1u);
  EXPECT_EQ(Count(out, "within 5000 ms"), 0u);

  for (std::size_t i = 11; i < frames.size(); ++i) frames[i].ms += 6000;  // the close, 6 s later
  WriteBytes(path, PcapOfFrames(Link::kEthernet, frames));
  out = RunKorvaneBinary({"-p:" + path}, "").output;
  EXPECT_EQ(Count(out, "WARNING: Packet 4 of the terminal not confirmed within 5000 ms\n"), 1u);
  EXPECT_EQ(Count(out, "WARNING: Record 4 of the terminal not confirmed within 5000 ms\n"), 1u);
  EXPECT_EQ(Count(out, "before the connection closed"), 0u) << out;
}

// A snap length of 70 bytes leaves 16 bytes of each packet: the connection
// is taken by its sound headers, the bytes each packet lost are a gap with
// its line, the frames cut are counted, and one line names the snap length.
TEST(CaptureEndToEnd, ASnapLengthTooSmallIsCountedAndNamed) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  std::vector<WrittenSegment> segments = tcp.Open();
  for (uint16_t n = 1; n <= 21; ++n) {
    Append(segments, tcp.Send(true, Position(n, n)));
    Append(segments, tcp.Send(false, Confirmation(n, n, n, 0, 2)));
  }
  Append(segments, tcp.Close());
  const std::string path = scratch / "capture.pcap";
  WriteBytes(path, PcapOfFrames(Link::kEthernet, Frames(Link::kEthernet, segments), 70));
  const std::string records = std::to_string(segments.size());

  const std::string out = RunKorvaneBinary({"-p:" + path}, "").output;
  EXPECT_EQ(Count(out, "WARNING: 28 bytes terminal -> platform are missing from the capture\n"), 21u)
      << out;
  EXPECT_EQ(Count(out, "WARNING: 13 bytes platform -> terminal are missing from the capture\n"), 21u);
  EXPECT_NE(out.find("    gaps: 42, 861 bytes lost\n"), std::string::npos);
  EXPECT_NE(out.find("Totals: " + records + " capture records, 1 connections, 0 packets terminal -> "
                     "platform (0 records), 0 packets platform -> terminal (0 records), 42 gaps "
                     "(861 bytes lost), 42 findings, 42 frames cut short by the snap length, 0 IP "
                     "fragments, 0 malformed frames\n"
                     "WARNING: 42 of " + records + " frames are cut short: the capture was taken "
                     "with a snap length of 70 bytes, too small for its data\n"),
            std::string::npos);

  const RunResult json = RunKorvaneBinary({"-j", "-p:" + path}, "");
  EXPECT_EQ(SchemaFindings(json.output), "");
  const std::vector<nlohmann::json> lines = ParseJsonLines(json.output);
  ASSERT_GE(lines.size(), 2u);
  const nlohmann::json& totals = lines[lines.size() - 2];
  EXPECT_EQ(totals["capture"], path);
  EXPECT_EQ(totals["frames_cut"], 42);
  EXPECT_EQ(totals["snap_length"], 70);
  EXPECT_EQ(totals["gaps"], 42);
  EXPECT_EQ(lines.back()["level"], "WARNING");
  EXPECT_NE(json.errors.find("Totals: " + records + " capture records"), std::string::npos);
}

// IP fragments (not put back together) and frames with a bad IP header
// length or TCP data offset are counted, and the bytes they carried are gaps.
TEST(CaptureEndToEnd, FragmentsAndMalformedFramesAreCountedAndTheirBytesAreGaps) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  const std::vector<WrittenSegment> segments = Conversation(tcp);
  std::vector<CapturedFrame> frames = Frames(Link::kEthernet, segments);
  const auto carrying = [&](const Bytes& packet) {
    for (std::size_t i = 0;; ++i) {
      if (segments.at(i).payload == packet) return i;
    }
  };
  // Ethernet: the IP header at 14, the TCP header at 34.
  const std::size_t fragmented = carrying(Position(3, 3));
  CapturedFrame second = frames[fragmented];
  frames[fragmented].bytes[14 + 6] |= 0x20;  // more fragments
  second.bytes[14 + 7] = 3;                  // offset 24 bytes
  frames.insert(frames.begin() + static_cast<long>(fragmented) + 1, second);
  frames[carrying(ResultCode(2, 2, 0))].bytes[14] = 0x44;      // IHL 16 bytes
  frames[carrying(Position(4, 4)) + 1].bytes[34 + 12] = 0x40;  // after the fragment: data offset 16
  const std::string path = scratch / "capture.pcap";
  WriteBytes(path, PcapOfFrames(Link::kEthernet, frames));

  const std::string out = RunKorvaneBinary({"-p:" + path}, "").output;
  EXPECT_EQ(Count(out, "WARNING: 44 bytes terminal -> platform are missing from the capture\n"), 2u)
      << out;
  EXPECT_EQ(Count(out, "WARNING: 24 bytes platform -> terminal are missing from the capture\n"), 1u);
  EXPECT_NE(out.find(" 3 gaps (112 bytes lost), "), std::string::npos);
  EXPECT_NE(out.find(", 0 frames cut short by the snap length, 2 IP fragments, 2 malformed frames\n"),
            std::string::npos);
}

// A platform that sends its RESULT_CODE in a RESPONSE: the check names it,
// and the authorization counts as not answered.
TEST(CaptureEndToEnd, AResultCodeInAResponseIsNamed) {
  ScratchDirectory scratch;
  TcpConversation tcp(kTerminal, kPlatform);
  std::vector<WrittenSegment> segments = tcp.Open();
  Append(segments, tcp.Send(true, Identity(1, 1)));
  Bytes frame = {1, 0, 0};  // RPID 1, PR 0
  Append(segments, tcp.Send(false, PacketBytes(0, Concat({frame, RecordBytes({.RN = 1, .SST = 1, .RST = 1},
                                                                    SubrecordBytes(9, {0}))}),
                                                1)));
  Append(segments, tcp.Close());
  const std::string out = RunCapture(scratch, PcapFile(Link::kEthernet, segments)).output;
  EXPECT_EQ(Count(out, kConnection + "  WARNING: Packet 1 of the platform is a RESPONSE that "
                                     "carries RESULT_CODE 0 (OK): a terminal takes the "
                                     "authorization answer only from APPDATA\n"),
            1u)
      << out;
  EXPECT_NE(out.find("    authorization: not answered in the capture\n"), std::string::npos);
}

// A capture taken with tcpdump on the loopback of a real conversation with
// `korvane -b: -r`.
TEST(CaptureEndToEnd, ALiveConversationCapturedWithTcpdump) {
  if (std::system("command -v tcpdump > /dev/null 2>&1") != 0) {
    GTEST_SKIP() << "tcpdump is not installed here";
  }
  ScratchDirectory scratch;
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  const std::string path = scratch / "live.pcap";
  const std::string command = "tcpdump -i lo -U --immediate-mode -w " + path + " 'tcp port " +
                              std::to_string(server.Port()) + "' > " + (scratch / "tcpdump.log") +
                              " 2>&1 & echo $! > " + (scratch / "tcpdump.pid");
  ASSERT_EQ(std::system(command.c_str()), 0);
  // tcpdump says "listening on lo" once it captures.
  const auto listening = [&] {
    std::ifstream log(scratch / "tcpdump.log");
    const std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    return text.find("listening on") != std::string::npos;
  };
  for (int i = 0; i < 100 && !listening(); ++i) std::this_thread::sleep_for(100ms);
  if (!listening()) {
    std::system(("kill $(cat " + (scratch / "tcpdump.pid") + ") 2>/dev/null").c_str());
    GTEST_SKIP() << "tcpdump could not capture on the loopback here";
  }
  {
    Terminal terminal(server.Port());
    ASSERT_TRUE(terminal.Send(Identity(1, 1)));
    terminal.Read(29 + 24);  // the confirmation and the RESULT_CODE
    ASSERT_TRUE(terminal.Send(Position(2, 2)));
    terminal.Read(29);
  }
  ASSERT_TRUE(server.WaitFor("INFO: Connection closed by remote side"));
  std::this_thread::sleep_for(500ms);
  const std::string pid = "$(cat " + (scratch / "tcpdump.pid") + ")";
  std::system(("kill -INT " + pid).c_str());
  // It writes out what it holds and ends.
  for (int i = 0; i < 100 && std::system(("kill -0 " + pid + " 2>/dev/null").c_str()) == 0; ++i) {
    std::this_thread::sleep_for(100ms);
  }
  server.Quit();

  const RunResult run = RunKorvaneBinary({"-x", "-p:" + path}, "");
  const std::string& out = run.output;
  EXPECT_EQ(Count(out, "  terminal -> platform\n\nPacket data: "), 2u) << out;
  EXPECT_EQ(Count(out, "  platform -> terminal\n\nPacket data: "), 3u);
  EXPECT_EQ(Count(out, "INFO: Authorization answered with result 0 (OK)\n"), 1u);
  EXPECT_EQ(Count(out, "(EGTS_SR_POS_DATA)"), 1u);
  // The terminal did not confirm the RESULT_CODE before it left.
  EXPECT_EQ(Count(out, "WARNING: Packet 2 of the platform not confirmed before the connection "
                       "closed ("),
            1u)
      << out;
}

}  // namespace
