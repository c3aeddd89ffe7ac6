#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "capture/capture_reader.h"
#include "capture/connection_table.h"
#include "support/capture_writer.h"
#include "support/packet_builder.h"
#include "support/scratch_directory.h"
#include "transport/transport_header.h"

namespace {

using namespace testing_support;
using capture::CaptureOptions;
using capture::ReadCaptureBytes;
using Events = std::vector<std::string>;
using Segments = std::vector<WrittenSegment>;

const char* Arrow(capture::Direction direction) {
  return direction == capture::Direction::kTerminalToPlatform ? "t>p" : "p>t";
}

// Writes every event as one short line: "<id> <dir> PT<pt> PID<pid>" for a
// packet, "<id> <dir> part <code> <size>", "<id> <dir> gap <bytes>",
// "<id> end <reason> <packets t>p>/<packets p>t>", "damage".
class Recorder : public capture::CaptureListener {
 public:
  void OnPacket(const capture::PacketEvent& e) override {
    Note(e.connection);
    if (e.whole) {
      EXPECT_EQ(e.headerCode, 0);
      EXPECT_EQ(e.bytes.size(), e.header.HL + (e.header.FDL ? e.header.FDL + 2u : 0u));
      events.push_back(std::to_string(e.connection.id) + " " + Arrow(e.direction) + " PT" +
                       std::to_string(e.header.PT) + " PID" + std::to_string(e.header.PID));
    } else {
      events.push_back(std::to_string(e.connection.id) + " " + Arrow(e.direction) + " part " +
                       std::to_string(e.headerCode) + " " + std::to_string(e.bytes.size()));
    }
    times.push_back(e.time.seconds * 1000000 + e.time.microseconds);
  }
  void OnGap(const capture::GapEvent& e) override {
    Note(e.connection);
    events.push_back(std::to_string(e.connection.id) + " " + Arrow(e.direction) + " gap " +
                     std::to_string(e.bytesLost));
  }
  void OnConnectionEnd(const capture::ConnectionEndEvent& e) override {
    Note(e.connection);
    ends.push_back(e.reason);
    events.push_back(std::to_string(e.connection.id) + " end " + capture::EndReasonText(e.reason) +
                     " " + std::to_string(e.terminalToPlatform.packets) + "/" +
                     std::to_string(e.platformToTerminal.packets));
  }
  void OnDamage(const std::string& message) override {
    damage = message;
    events.push_back("damage");
  }
  void OnProgress(uint64_t read, uint64_t size) override {
    EXPECT_LE(read, size);
    lastProgress = read;
    progressSize = size;
  }

  Events events;
  std::vector<int64_t> times;
  std::vector<capture::EndReason> ends;
  std::map<uint64_t, std::string> names;
  std::map<uint64_t, bool> startSeen;
  std::string damage;
  uint64_t lastProgress = 0;
  uint64_t progressSize = 0;

 private:
  void Note(const capture::Connection& c) {
    EXPECT_GT(c.id, 0u);
    names[c.id] = c.name;
    startSeen[c.id] = c.startSeen;
  }
};

// ---- the EGTS conversation

Bytes AuthRecord(uint16_t rn, const Bytes& subrecords) {
  return RecordBytes({.RN = rn, .SST = 1, .RST = 1}, subrecords);
}

Bytes Confirmation(uint16_t pid, uint16_t rpid, uint16_t crn, uint8_t service) {
  Bytes frame;
  PutU16(frame, rpid);
  frame.push_back(0);  // PR
  Bytes rr;
  PutU16(rr, crn);
  rr.push_back(0);
  const Bytes record = RecordBytes({.RN = pid, .SST = service, .RST = service}, SubrecordBytes(0, rr));
  frame.insert(frame.end(), record.begin(), record.end());
  return PacketBytes(0, frame, pid);
}

Bytes TermIdentity(uint16_t pid) {
  Bytes srd;
  PutU32(srd, 1133);
  srd.push_back(0);
  return PacketBytes(1, AuthRecord(1, SubrecordBytes(1, srd)), pid);
}

Bytes ResultCodePacket(uint16_t pid) {
  return PacketBytes(1, AuthRecord(1, SubrecordBytes(9, {0})), pid);
}

Bytes Teledata(uint16_t pid, uint16_t rn) {
  Bytes pos(21);
  for (std::size_t i = 0; i < pos.size(); ++i) pos[i] = static_cast<uint8_t>(0x30 + i + pid);
  return PacketBytes(1, RecordBytes({.RN = rn, .SST = 2, .RST = 2}, SubrecordBytes(16, pos)), pid);
}

struct Step {
  bool fromTerminal;
  Bytes packet;
  std::string event;  // the Recorder's line, without the connection id
};

// Authorization, two TELEDATA packets, every packet confirmed.
std::vector<Step> Script() {
  return {
      {true, TermIdentity(1), "t>p PT1 PID1"},
      {false, Confirmation(1, 1, 1, 1), "p>t PT0 PID1"},
      {false, ResultCodePacket(2), "p>t PT1 PID2"},
      {true, Confirmation(2, 2, 1, 1), "t>p PT0 PID2"},
      {true, Teledata(3, 2), "t>p PT1 PID3"},
      {false, Confirmation(3, 3, 2, 2), "p>t PT0 PID3"},
      {true, Teledata(4, 3), "t>p PT1 PID4"},
      {false, Confirmation(4, 4, 3, 2), "p>t PT0 PID4"},
  };
}

const TcpEnd kTerminal = V4End(10, 0, 0, 2, 40001);
const TcpEnd kPlatform = V4End(10, 0, 0, 1, 20629);
constexpr std::size_t kPiece = 20;  // bytes per segment: packets span several

// The script as segments: handshake, each packet in pieces, closing. The
// index of the first segment of each step goes to `starts`.
Segments Conversation(TcpEnd terminal, TcpEnd platform, uint32_t isn,
                      std::vector<std::size_t>* starts = nullptr, bool open = true) {
  TcpConversation c(terminal, platform, isn, isn * 7 + 13);
  Segments out;
  if (open) Append(out, c.Open());
  for (const Step& step : Script()) {
    if (starts) starts->push_back(out.size());
    Append(out, c.Send(step.fromTerminal, step.packet, kPiece));
  }
  Append(out, c.Close());
  return out;
}

Events Expected(uint64_t id, std::size_t packets, const std::string& end = "closed") {
  Events out;
  const auto script = Script();
  for (std::size_t i = 0; i < packets; ++i) out.push_back(std::to_string(id) + " " + script[i].event);
  unsigned t = 0, p = 0;
  for (std::size_t i = 0; i < packets; ++i) ++(script[i].fromTerminal ? t : p);
  out.push_back(std::to_string(id) + " end " + end + " " + std::to_string(t) + "/" + std::to_string(p));
  return out;
}

Recorder Read(const Bytes& file, uint16_t port = 0) {
  Recorder recorder;
  const capture::CaptureTotals totals = ReadCaptureBytes(file, CaptureOptions{port}, recorder);
  EXPECT_TRUE(totals.opened) << totals.error;
  return recorder;
}

TEST(CaptureReader, ConversationInOrderFromAFile) {
  ScratchDirectory scratch("capture");
  const Bytes file = PcapFile(Link::kEthernet, Conversation(kTerminal, kPlatform, 1000));
  WriteBytes(scratch / "c.pcap", file);
  Recorder recorder;
  const auto totals = capture::ReadCapture(scratch / "c.pcap", {}, recorder);
  ASSERT_TRUE(totals.opened) << totals.error;
  EXPECT_EQ(recorder.events, Expected(1, 8));
  EXPECT_EQ(recorder.names[1], "10.0.0.2:40001 -> 10.0.0.1:20629");
  EXPECT_TRUE(recorder.startSeen[1]);
  EXPECT_EQ(recorder.lastProgress, file.size());
  EXPECT_EQ(recorder.progressSize, file.size());
  // Each packet carries the time of the record that completed it: later
  // packets, later records.
  EXPECT_TRUE(std::is_sorted(recorder.times.begin(), recorder.times.end()));
  EXPECT_GE(recorder.times.front(), kCaptureStart * 1000000);
}

// Damage done to the segments of the conversation between capture and
// reading; `starts` has the first segment of each step of the script.
struct SegmentCase {
  const char* name;
  std::function<void(Segments&, const std::vector<std::size_t>& starts)> damage;
  Events expected;
};

Events WithLostPiece() {
  Events e = Expected(1, 8);
  e[4] = "1 t>p gap " + std::to_string(kPiece);  // PID 3 lost its second piece
  e.back() = "1 end closed 3/4";
  return e;
}

TEST(CaptureReader, SegmentsReorderedDuplicatedOverlappedAndLost) {
  const std::vector<SegmentCase> cases = {
      {"pieces of a packet swapped",
       [](Segments& s, const auto& starts) { std::swap(s[starts[4] + 1], s[starts[4] + 2]); },
       Expected(1, 8)},
      {"a packet's pieces in reverse",
       [](Segments& s, const auto& starts) { std::reverse(s.begin() + starts[4], s.begin() + starts[5]); },
       Expected(1, 8)},
      {"a piece captured twice, later",
       [](Segments& s, const auto& starts) { s.insert(s.begin() + starts[6], s[starts[4] + 1]); },
       Expected(1, 8)},
      {"a retransmission spanning two pieces",
       [](Segments& s, const auto& starts) {
         WrittenSegment both = s[starts[4]];
         both.payload.insert(both.payload.end(), s[starts[4] + 1].payload.begin(),
                             s[starts[4] + 1].payload.end());
         s.insert(s.begin() + starts[4] + 2, both);
       },
       Expected(1, 8)},
      {"the handshake's SYN-ACK first",
       [](Segments& s, const auto&) { std::swap(s[0], s[1]); }, Expected(1, 8)},
      {"one piece lost",
       [](Segments& s, const auto& starts) { s.erase(s.begin() + starts[4] + 1); }, WithLostPiece()},
      {"one piece lost, the next reordered and a piece repeated",
       [](Segments& s, const auto& starts) {
         const std::size_t at = starts[4] + 1;
         s.insert(s.begin() + starts[5], s[starts[3]]);  // an old piece again
         std::swap(s[at + 1], s[at + 2]);
         s.erase(s.begin() + at);
       },
       WithLostPiece()},
  };
  for (const SegmentCase& c : cases) {
    std::vector<std::size_t> starts;
    Segments segments = Conversation(kTerminal, kPlatform, 1000, &starts);
    c.damage(segments, starts);
    EXPECT_EQ(Read(PcapFile(Link::kEthernet, segments)).events, c.expected) << c.name;
  }
}

TEST(CaptureReader, LinkTypesFileFormatsAndIPv6) {
  const TcpEnd terminal6 = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 2}, 40001);
  const TcpEnd platform6 = V6End({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}, 20629);
  struct Case {
    const char* name;
    Link link;
    bool pcapng;
    bool v6;
  } cases[] = {
      {"pcap, Ethernet with a VLAN tag", Link::kEthernetVlan, false, false},
      {"pcap, Linux cooked", Link::kSll, false, false},
      {"pcapng, Linux cooked v2", Link::kSll2, true, false},
      {"pcap, raw IPv6", Link::kRaw, false, true},
      {"pcapng, Ethernet, IPv6", Link::kEthernet, true, true},
  };
  for (const Case& c : cases) {
    const Segments segments = c.v6 ? Conversation(terminal6, platform6, 77)
                                   : Conversation(kTerminal, kPlatform, 77);
    const Recorder r = Read(c.pcapng ? PcapngFile(c.link, segments) : PcapFile(c.link, segments));
    EXPECT_EQ(r.events, Expected(1, 8)) << c.name;
    EXPECT_EQ(r.names.at(1), c.v6 ? "[2001:db8::2]:40001 -> [2001:db8::1]:20629"
                                  : "10.0.0.2:40001 -> 10.0.0.1:20629")
        << c.name;
  }
}

TEST(CaptureReader, TwoConnectionsInterleaved) {
  const Segments a = Conversation(kTerminal, kPlatform, 1000);
  const Segments b = Conversation(V4End(10, 0, 0, 3, 40002), kPlatform, 0xFFFFFF00);  // wraps
  Segments both;
  for (std::size_t i = 0; i < std::max(a.size(), b.size()); ++i) {
    if (i < a.size()) both.push_back(a[i]);
    if (i < b.size()) both.push_back(b[i]);
  }
  const Recorder r = Read(PcapFile(Link::kEthernet, both));
  ASSERT_EQ(r.names.size(), 2u);
  EXPECT_EQ(r.names.at(1), "10.0.0.2:40001 -> 10.0.0.1:20629");
  EXPECT_EQ(r.names.at(2), "10.0.0.3:40002 -> 10.0.0.1:20629");
  for (uint64_t id : {1, 2}) {
    Events own;
    std::copy_if(r.events.begin(), r.events.end(), std::back_inserter(own),
                 [id](const std::string& e) { return e.rfind(std::to_string(id) + " ", 0) == 0; });
    EXPECT_EQ(own, Expected(id, 8)) << id;
  }
  // Interleaved, not one connection after the other.
  EXPECT_EQ(r.events[0], "1 t>p PT1 PID1");
  EXPECT_EQ(r.events[1], "2 t>p PT1 PID1");
}

TEST(CaptureReader, StreamStartingMidPacketTakesDirectionFromThePorts) {
  std::vector<std::size_t> starts;
  Segments segments = Conversation(kTerminal, kPlatform, 1000, &starts, false);
  // The capture begins with the platform's confirmation of the first
  // packet, then the terminal's second packet from its middle.
  segments.erase(segments.begin(), segments.begin() + starts[1]);
  segments.erase(segments.begin() + (starts[3] - starts[1]));
  const Recorder r = Read(PcapFile(Link::kEthernet, segments));
  Events expected = Expected(1, 8);
  expected.erase(expected.begin() + 3);  // the cut packet
  expected.erase(expected.begin());      // the packet before the capture
  expected.back() = "1 end closed 2/4";
  EXPECT_EQ(r.events, expected);
  EXPECT_EQ(r.names.at(1), "10.0.0.2:40001 -> 10.0.0.1:20629");
  EXPECT_FALSE(r.startSeen.at(1));
}

TEST(CaptureReader, HeaderFailureInsideAStreamDoesNotEndIt) {
  TcpConversation c(kTerminal, kPlatform);
  Segments s = c.Open();
  Append(s, c.Send(true, Concat({TermIdentity(1), Bytes{0xAA, 0xBB, 0xCC}, Teledata(2, 2)}), kPiece));
  Append(s, c.Close());
  const Recorder r = Read(PcapFile(Link::kEthernet, s));
  // The framer takes 16 bytes from the garbage on: PRV 0xAA is refused (128).
  const Events expected = {"1 t>p PT1 PID1", "1 t>p part 128 16", "1 t>p PT1 PID2",
                           "1 end closed 2/0"};
  EXPECT_EQ(r.events, expected);
}

TEST(CaptureReader, OnlyEgtsConnectionsAndThePortAskedFor) {
  TcpConversation web(V4End(10, 0, 0, 9, 50000), V4End(10, 0, 0, 1, 80));
  Segments s = web.Open();
  const std::string request = "GET /index.html HTTP/1.1\r\nHost: x\r\n\r\n";
  Append(s, web.Send(true, Bytes(request.begin(), request.end())));
  Append(s, Conversation(kTerminal, kPlatform, 5));
  Append(s, web.Close());
  const Bytes file = PcapFile(Link::kEthernet, s);
  struct Case {
    uint16_t port;
    Events expected;
  } cases[] = {{0, Expected(1, 8)}, {20629, Expected(1, 8)}, {40001, Expected(1, 8)}, {80, {}}, {9, {}}};
  for (const Case& c : cases) EXPECT_EQ(Read(file, c.port).events, c.expected) << c.port;
}

TEST(CaptureReader, TruncatedFileReportsWhatCameBefore) {
  std::vector<std::size_t> starts;
  const Segments segments = Conversation(kTerminal, kPlatform, 1000, &starts);
  // Cut inside the record of the first piece of PID 3.
  const Segments before(segments.begin(), segments.begin() + starts[4]);
  const Bytes whole = PcapFile(Link::kEthernet, segments);
  const std::size_t cut = PcapFile(Link::kEthernet, before).size() + 30;
  Recorder r = Read(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
  Events expected = Expected(1, 4, "open at the end of the capture");
  expected.insert(expected.end() - 1, "damage");
  EXPECT_EQ(r.events, expected);
  EXPECT_NE(r.damage.find("truncated"), std::string::npos) << r.damage;
}

TEST(CaptureReader, NotACaptureIsRefusedWithAMessage) {
  Recorder recorder;
  const std::string text = "this is not a capture file at all";
  const auto totals = ReadCaptureBytes(Bytes(text.begin(), text.end()), {}, recorder);
  EXPECT_FALSE(totals.opened);
  EXPECT_FALSE(totals.error.empty());
  EXPECT_TRUE(recorder.events.empty());
}

TEST(CaptureReader, OpenConnectionsAreCappedByEndingTheIdlest) {
  Segments s;
  const std::size_t count = capture::ConnectionTable::kMaxConnections + 1;
  for (std::size_t i = 0; i < count; ++i) {
    TcpConversation c(V4End(10, 1, static_cast<uint8_t>(i >> 8), static_cast<uint8_t>(i), 40000),
                      kPlatform);
    Append(s, c.Open());
    Append(s, c.Send(true, TermIdentity(1)));
  }
  const Recorder r = Read(PcapFile(Link::kEthernet, s));
  // The first connection makes room for the last, before its packet.
  const auto evicted = std::find(r.events.begin(), r.events.end(), "1 end too many open connections 1/0");
  ASSERT_NE(evicted, r.events.end());
  EXPECT_EQ(*(evicted + 1), std::to_string(count) + " t>p PT1 PID1");
  EXPECT_EQ(r.ends.size(), count);
}

}  // namespace
