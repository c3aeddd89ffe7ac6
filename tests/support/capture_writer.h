#pragma once
// Writes small pcap and pcapng captures for tests: TCP segments over IPv4
// or IPv6 behind one of the link layers the capture reader decodes, and a
// TCP conversation that numbers its segments as a real one would.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/packet_builder.h"

namespace testing_support {

struct TcpEnd {
  std::array<uint8_t, 16> address{};
  bool v6 = false;
  uint16_t port = 0;
};

TcpEnd V4End(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port);
// `groups` are the eight 16-bit groups of the address.
TcpEnd V6End(const std::array<uint16_t, 8>& groups, uint16_t port);

constexpr uint8_t kTcpFin = 0x01, kTcpSyn = 0x02, kTcpRst = 0x04, kTcpAck = 0x10;

struct WrittenSegment {
  TcpEnd from;
  TcpEnd to;
  uint32_t seq = 0;
  uint32_t ack = 0;
  uint8_t flags = kTcpAck;
  Bytes payload;
};

// Both sides of one connection; each call returns the segments the side
// sends, with sequence numbers following on and acknowledging all the
// other side has sent.
class TcpConversation {
 public:
  TcpConversation(TcpEnd terminal, TcpEnd platform, uint32_t terminalIsn = 1000,
                  uint32_t platformIsn = 500000);
  std::vector<WrittenSegment> Open();
  // `bytes` cut into segments of at most `piece` bytes.
  std::vector<WrittenSegment> Send(bool fromTerminal, const Bytes& bytes, std::size_t piece = 1460);
  std::vector<WrittenSegment> Close();

 private:
  WrittenSegment Make(bool fromTerminal, uint8_t flags, Bytes payload);

  TcpEnd terminal_, platform_;
  uint32_t terminalNext_, platformNext_;
};

void Append(std::vector<WrittenSegment>& to, const std::vector<WrittenSegment>& more);

enum class Link { kEthernet, kEthernetVlan, kSll, kSll2, kRaw };

// Link header, IP header and TCP header with the payload.
Bytes FrameBytes(Link link, const WrittenSegment& segment);

// Record i is stamped kCaptureStart + i milliseconds.
constexpr int64_t kCaptureStart = 1700000000;
Bytes PcapFile(Link link, const std::vector<WrittenSegment>& segments);

// A frame as captured at `ms` milliseconds after kCaptureStart.
struct CapturedFrame {
  Bytes bytes;
  int64_t ms = 0;
};
// The frames of the segments, frame i at i milliseconds.
std::vector<CapturedFrame> Frames(Link link, const std::vector<WrittenSegment>& segments);
// A pcap file whose records hold at most `snapLength` bytes of each frame.
Bytes PcapOfFrames(Link link, const std::vector<CapturedFrame>& frames,
                   uint32_t snapLength = 262144);
Bytes PcapngFile(Link link, const std::vector<WrittenSegment>& segments);

void WriteBytes(const std::string& path, const Bytes& bytes);

}  // namespace testing_support
