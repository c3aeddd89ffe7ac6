#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "support/packet_builder.h"
#include "transport/checksum.h"
#include "transport/packet_framer.h"
#include "transport/result_codes.h"

namespace {

using testing_support::Bytes;
using testing_support::Concat;
using testing_support::PacketBytes;
using testing_support::PutU16;
using Outcome = PacketFramer::Outcome;

struct Framed {
  Outcome outcome;
  Bytes bytes;
  uint8_t code;
};

// Feeds `stream` in pieces of at most `piece` bytes, never more than the
// framer wants, storing the zero the receive writes after them, until the
// stream ends or a part ends the connection. Returns what came out, in order.
std::vector<Framed> Feed(PacketFramer& framer, const Bytes& stream, size_t piece) {
  std::vector<Framed> out;
  const uint8_t* bufferEnd = framer.ReceivePosition() + PacketFramer::kBufferSize;
  for (size_t at = 0; at < stream.size();) {
    uint8_t* position = framer.ReceivePosition();
    const size_t wanted = framer.Wanted();
    EXPECT_GT(wanted, 0u);
    EXPECT_LT(position + wanted, bufferEnd);
    const size_t count = std::min({piece, wanted, stream.size() - at});
    std::memcpy(position, stream.data() + at, count);
    position[count] = 0;
    at += count;
    const Outcome outcome = framer.Received(count);
    if (outcome == Outcome::kNeedMore) continue;
    const auto bytes = framer.Bytes();
    out.push_back({outcome, Bytes(bytes.begin(), bytes.end()), framer.ResultCode()});
    if (outcome == Outcome::kHeaderFailed) break;
  }
  return out;
}

Bytes FrameData(size_t length) {
  Bytes data(length);
  for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(i * 7 + 3);
  return data;
}

// 16 header bytes with HL and the flags byte as given, so that HL can
// disagree with the routing flag; HCS sits where the flag puts it.
Bytes HeaderWithHcsByRte(uint8_t flags, uint8_t hl, uint16_t fdl, uint16_t pid) {
  Bytes p{0x01, 0x00, flags, hl, 0x00};
  PutU16(p, fdl);
  PutU16(p, pid);
  p.push_back(0x01);
  PutU16(p, 0x1234);  // PRA
  PutU16(p, 0);       // RCA
  p.push_back(5);     // TTL
  p.push_back(0);
  p[(flags & 0x20) ? 15 : 10] = Crc8(p.data(), static_cast<uint8_t>(hl - 1));
  return p;
}

Bytes RoutedPacket(const Bytes& frameData) {
  Bytes p = HeaderWithHcsByRte(0x20, 16, static_cast<uint16_t>(frameData.size()), 9);
  p.insert(p.end(), frameData.begin(), frameData.end());
  PutU16(p, Crc16(frameData.data(), static_cast<uint16_t>(frameData.size())));
  return p;
}

const Bytes kHeaderOnly = PacketBytes(1, {}, 1);  // HL 11, FDL 0

// A packet with HL 11, the routing flag and `fdl` bytes of frame data whose
// header is sound when followed by `next`: its PID is chosen so that byte 15
// of the two together is the HCS of its first 10 bytes. Empty if no PID does.
Bytes ShortRoutedPacket(uint16_t fdl, const Bytes& next) {
  for (uint32_t pid = 0; pid <= 0xFFFF; ++pid) {
    Bytes candidate = HeaderWithHcsByRte(0x20, 11, fdl, static_cast<uint16_t>(pid));
    candidate.resize(11);
    const Bytes data = FrameData(fdl);
    candidate.insert(candidate.end(), data.begin(), data.end());
    if (fdl != 0) PutU16(candidate, Crc16(data.data(), fdl));
    const Bytes stream = Concat({candidate, next});
    if (stream[15] == Crc8(stream.data(), 10)) return candidate;
  }
  return {};
}

TEST(PacketFramerTest, PacketsComeOutWholeWhateverTheCuts) {
  const Bytes first = PacketBytes(1, FrameData(40), 1);
  const Bytes second = RoutedPacket(FrameData(3));
  const Bytes stream = Concat({first, kHeaderOnly, second, first});
  for (size_t piece : {1u, 2u, 5u, 13u, 65536u}) {
    PacketFramer framer;
    const std::vector<Framed> out = Feed(framer, stream, piece);
    ASSERT_EQ(out.size(), 4u) << "piece " << piece;
    const Bytes* expected[] = {&first, &kHeaderOnly, &second, &first};
    for (size_t i = 0; i < 4; ++i) {
      EXPECT_EQ(out[i].outcome, Outcome::kPacket);
      EXPECT_EQ(out[i].code, EGTS::EGTS_PC_OK);
      EXPECT_EQ(out[i].bytes, *expected[i]) << "packet " << i << ", piece " << piece;
    }
  }
}

TEST(PacketFramerTest, StagesAskForExactlyWhatThePacketNeeds) {
  PacketFramer framer;
  EXPECT_EQ(framer.Wanted(), 11u);
  std::memcpy(framer.ReceivePosition(), kHeaderOnly.data(), 11);
  EXPECT_EQ(framer.Received(11), Outcome::kPacket) << "header-only packet is complete at 11";
  EXPECT_EQ(framer.Bytes().size(), 11u);

  const Bytes routed = RoutedPacket(FrameData(20));
  EXPECT_EQ(framer.Wanted(), 11u);
  std::memcpy(framer.ReceivePosition(), routed.data(), 11);
  EXPECT_EQ(framer.Received(11), Outcome::kNeedMore);
  EXPECT_EQ(framer.Wanted(), 5u);
  std::memcpy(framer.ReceivePosition(), routed.data() + 11, 5);
  EXPECT_EQ(framer.Received(5), Outcome::kNeedMore);
  EXPECT_EQ(framer.Wanted(), 22u) << "FDL + SFRCS";
  std::memcpy(framer.ReceivePosition(), routed.data() + 16, 22);
  EXPECT_EQ(framer.Received(22), Outcome::kPacket);
  EXPECT_EQ(framer.Header().HL, 16);
  EXPECT_TRUE(framer.Header().RTE());
  EXPECT_EQ(Bytes(framer.Bytes().begin(), framer.Bytes().end()), routed);
}

TEST(PacketFramerTest, HeaderFailingAt16BytesIsAPart) {
  Bytes stream = Concat({kHeaderOnly, kHeaderOnly});
  stream[0] = 2;  // PRV
  PacketFramer framer;
  std::memcpy(framer.ReceivePosition(), stream.data(), 11);
  EXPECT_EQ(framer.Received(11), Outcome::kNeedMore);
  EXPECT_EQ(framer.Wanted(), 5u);
  std::memcpy(framer.ReceivePosition(), stream.data() + 11, 5);
  EXPECT_EQ(framer.Received(5), Outcome::kHeaderFailed);
  EXPECT_EQ(framer.ResultCode(), EGTS::EGTS_PC_UNS_PROTOCOL);
  EXPECT_EQ(Bytes(framer.Bytes().begin(), framer.Bytes().end()), Bytes(stream.begin(), stream.begin() + 16));
}

// HL 11 with the routing flag, HCS at offset 15 matching: the header is
// sound on 16 bytes but announces a packet of 11 + FDL (+ 2) bytes. The
// bytes beyond it are the next packet's start and must not be lost.
TEST(PacketFramerTest, BytesBeyondAShortRoutedPacketStartTheNextOne) {
  for (uint16_t fdl : {0, 1, 2, 3, 4}) {
    const Bytes next = PacketBytes(1, FrameData(6), 2);
    const Bytes packet = ShortRoutedPacket(fdl, next);
    ASSERT_FALSE(packet.empty()) << "FDL " << fdl;
    for (size_t piece : {1u, 65536u}) {
      PacketFramer framer;
      const std::vector<Framed> out = Feed(framer, Concat({packet, next, kHeaderOnly}), piece);
      ASSERT_EQ(out.size(), 3u) << "FDL " << fdl;
      EXPECT_EQ(out[0].outcome, Outcome::kPacket);
      EXPECT_EQ(out[0].bytes, packet) << "FDL " << fdl;
      EXPECT_EQ(out[1].bytes, next) << "FDL " << fdl;
      EXPECT_EQ(out[2].bytes, kHeaderOnly) << "FDL " << fdl;
    }
  }
}

TEST(PacketFramerTest, PacketLongerThanTheBufferHoldsIsAPartOfItsHeader) {
  // 11 + 65523 + 2 and 16 + 65518 + 2 are 65,536 bytes: one too many.
  Bytes shortHeader = HeaderWithHcsByRte(0x00, 11, 65523, 1);
  shortHeader.resize(11);
  const Bytes routed = HeaderWithHcsByRte(0x20, 16, 65518, 1);
  for (const Bytes& header : {shortHeader, routed}) {
    PacketFramer framer;
    const std::vector<Framed> out = Feed(framer, Concat({header, FrameData(100)}), 65536);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].outcome, Outcome::kHeaderFailed);
    EXPECT_EQ(out[0].code, EGTS::EGTS_PC_INVDATALEN);
    EXPECT_EQ(out[0].bytes, header);
  }
}

TEST(PacketFramerTest, LargestPacketLeavesTheSpareByte) {
  const Bytes largest = RoutedPacket(FrameData(65517));
  ASSERT_EQ(largest.size(), PacketFramer::kMaxPacketLength);
  PacketFramer framer;
  const std::vector<Framed> out = Feed(framer, Concat({largest, kHeaderOnly}), 65536);
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0].bytes, largest);
  EXPECT_EQ(out[1].bytes, kHeaderOnly);
}

TEST(PacketFramerTest, RefusesMoreThanWanted) {
  PacketFramer framer;
  EXPECT_THROW(framer.Received(12), std::length_error);
  EXPECT_EQ(framer.Wanted(), 11u);
}

// Whatever state a stream leaves the framer in, after Reset the next stream
// frames as on a new framer, in the same buffer.
TEST(PacketFramerTest, ResetStartsANewStream) {
  const Bytes routed = RoutedPacket(FrameData(20));
  Bytes badVersion = kHeaderOnly;
  badVersion[0] = 2;  // PRV
  badVersion.resize(16, 0);
  const Bytes shortRouted = ShortRoutedPacket(0, kHeaderOnly);
  ASSERT_FALSE(shortRouted.empty());
  const Bytes kHeaderStart(kHeaderOnly.begin(), kHeaderOnly.begin() + 5);
  const struct {
    const char* state;
    Bytes before;
  } cases[] = {
      {"nothing received", {}},
      {"part of a short header", Bytes(routed.begin(), routed.begin() + 5)},
      {"11 bytes of a routed header", Bytes(routed.begin(), routed.begin() + 11)},
      {"part of the frame data", Bytes(routed.begin(), routed.begin() + 30)},
      {"a packet handed out", routed},
      {"bytes kept after a short routed packet", Concat({shortRouted, kHeaderStart})},
      {"a failed header", badVersion},
  };
  for (const auto& c : cases) {
    PacketFramer framer;
    const uint8_t* start = framer.ReceivePosition();
    Feed(framer, c.before, 65536);
    framer.Reset();
    EXPECT_EQ(framer.Wanted(), 11u) << c.state;
    EXPECT_TRUE(framer.Bytes().empty()) << c.state;
    EXPECT_EQ(framer.ResultCode(), 0) << c.state;
    EXPECT_EQ(framer.ReceivePosition(), start) << c.state;
    const std::vector<Framed> out = Feed(framer, Concat({routed, badVersion}), 65536);
    ASSERT_EQ(out.size(), 2u) << c.state;
    EXPECT_EQ(out[0].outcome, Outcome::kPacket) << c.state;
    EXPECT_EQ(out[0].bytes, routed) << c.state;
    EXPECT_EQ(out[1].outcome, Outcome::kHeaderFailed) << c.state;
    EXPECT_EQ(out[1].bytes, badVersion) << c.state;
    EXPECT_EQ(out[1].code, EGTS::EGTS_PC_UNS_PROTOCOL) << c.state;
  }
}

}  // namespace
