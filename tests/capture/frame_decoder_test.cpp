#include <gtest/gtest.h>

#include "capture/frame_decoder.h"
#include "support/capture_writer.h"

namespace {

TEST(FrameDecoder, SegmentsOfEveryLinkAndTheSendersOffloadedLength) {
  using namespace testing_support;
  const WrittenSegment written{V4End(192, 168, 1, 2, 40001), V4End(192, 168, 1, 1, 20629), 7, 9, kTcpAck,
                            Bytes{1, 2, 3}};
  struct Case {
    const char* name;
    int linkType;
    Bytes frame;
  } cases[] = {
      {"Ethernet", 1, FrameBytes(Link::kEthernet, written)},
      {"VLAN", 1, FrameBytes(Link::kEthernetVlan, written)},
      {"SLL", 113, FrameBytes(Link::kSll, written)},
      {"SLL2", 276, FrameBytes(Link::kSll2, written)},
      {"raw", 12, FrameBytes(Link::kRaw, written)},
      {"Ethernet with trailing padding", 1, [&] { Bytes f = FrameBytes(Link::kEthernet, written); f.resize(70, 0xEE); return f; }()},
      {"IPv4 total length 0 (segmented by the card)", 12, [&] { Bytes f = FrameBytes(Link::kRaw, written); f[2] = f[3] = 0; return f; }()},
  };
  for (const Case& c : cases) {
    capture::TcpSegment segment;
    ASSERT_EQ(capture::DecodeFrame(c.linkType, c.frame, segment), capture::FrameKind::kSegment) << c.name;
    EXPECT_EQ(capture::EndpointText(segment.source), "192.168.1.2:40001") << c.name;
    EXPECT_EQ(capture::EndpointText(segment.destination), "192.168.1.1:20629") << c.name;
    EXPECT_EQ(segment.seq, 7u);
    EXPECT_EQ(segment.ack, 9u);
    EXPECT_EQ(Bytes(segment.payload.begin(), segment.payload.end()), (Bytes{1, 2, 3})) << c.name;
  }
  // Every frame cut short decodes as malformed, never as a segment.
  const Bytes whole = FrameBytes(Link::kEthernetVlan, written);
  for (std::size_t size = 0; size < whole.size() - 3; ++size) {
    capture::TcpSegment segment;
    EXPECT_EQ(capture::DecodeFrame(1, std::span(whole).first(size), segment), capture::FrameKind::kMalformed)
        << size;
  }
  // Cut by the snap length: a segment once 14 bytes of its TCP header are
  // in, with the payload bytes captured and those missing.
  const std::size_t tcpAt = whole.size() - 3 - 20;
  for (std::size_t size = 0; size <= whole.size(); ++size) {
    capture::TcpSegment segment;
    const capture::FrameKind kind = capture::DecodeFrame(1, std::span(whole).first(size), segment, true);
    if (size < tcpAt + 14) {
      EXPECT_EQ(kind, capture::FrameKind::kMalformed) << size;
      continue;
    }
    ASSERT_EQ(kind, capture::FrameKind::kSegment) << size;
    EXPECT_EQ(segment.seq, 7u);
    const std::size_t captured = size > tcpAt + 20 ? size - tcpAt - 20 : 0;
    EXPECT_EQ(segment.payload.size(), captured) << size;
    EXPECT_EQ(segment.missing, 3 - captured) << size;
  }
}

}  // namespace
