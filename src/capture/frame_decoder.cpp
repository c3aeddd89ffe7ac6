#include "capture/frame_decoder.h"

#include <pcap/dlt.h>

#include <algorithm>
#include <cstring>


namespace capture {

namespace {

using Bytes = std::span<const uint8_t>;

constexpr uint16_t kEtherIPv4 = 0x0800;
constexpr uint16_t kEtherIPv6 = 0x86DD;
constexpr uint8_t kProtocolTcp = 6;

uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The first bytes of a TCP header: ports, sequence and acknowledgement
// numbers, data offset and flags.
constexpr std::size_t kTcpFlagsEnd = 14;

// `wire`: the segment's length by its IP header. A frame cut by the snap
// length may end inside the TCP header.
FrameKind DecodeTcp(Bytes bytes, std::size_t wire, bool cut, Endpoint source, Endpoint destination,
                    TcpSegment& out) {
  if (bytes.size() < (cut ? kTcpFlagsEnd : 20)) return FrameKind::kMalformed;
  const std::size_t headerLength = (bytes[12] >> 4) * std::size_t{4};
  if (headerLength < 20 || headerLength > wire) return FrameKind::kMalformed;
  if (headerLength > bytes.size() && !cut) return FrameKind::kMalformed;
  source.port = Be16(&bytes[0]);
  destination.port = Be16(&bytes[2]);
  out.source = source;
  out.destination = destination;
  out.seq = Be32(&bytes[4]);
  out.ack = Be32(&bytes[8]);
  out.flags = bytes[13];
  out.payload = bytes.subspan(std::min(headerLength, bytes.size()));
  out.missing = static_cast<uint32_t>(wire - headerLength - out.payload.size());
  return FrameKind::kSegment;
}

FrameKind DecodeIPv4(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 20 || (bytes[0] >> 4) != 4) return FrameKind::kMalformed;
  const std::size_t headerLength = (bytes[0] & 0x0F) * std::size_t{4};
  // 0 on a capture of the sending host when the network card segments the
  // datagram (TSO): the captured bytes are the datagram then.
  std::size_t totalLength = Be16(&bytes[2]);
  if (totalLength == 0) totalLength = bytes.size();
  if (headerLength < 20 || totalLength < headerLength || headerLength > bytes.size()) {
    return FrameKind::kMalformed;
  }
  if (bytes[9] != kProtocolTcp) return FrameKind::kOther;
  // More fragments, or an offset: a piece of a larger datagram.
  if ((Be16(&bytes[6]) & 0x3FFF) != 0) return FrameKind::kFragment;
  Endpoint source;
  Endpoint destination;
  std::memcpy(source.address.data(), &bytes[12], 4);
  std::memcpy(destination.address.data(), &bytes[16], 4);
  // Ethernet pads short frames: the IP length, not the frame's, ends the segment.
  const Bytes datagram = bytes.first(std::min(totalLength, bytes.size()));
  return DecodeTcp(datagram.subspan(headerLength), totalLength - headerLength, cut, source,
                   destination, out);
}

FrameKind DecodeIPv6(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 40 || (bytes[0] >> 4) != 6) return FrameKind::kMalformed;
  Endpoint source{.v6 = true};
  Endpoint destination{.v6 = true};
  std::memcpy(source.address.data(), &bytes[8], 16);
  std::memcpy(destination.address.data(), &bytes[24], 16);
  std::size_t payloadLength = Be16(&bytes[4]);
  if (payloadLength == 0) payloadLength = bytes.size() - 40;  // segmented by the card, as for IPv4
  Bytes rest = bytes.subspan(40, std::min(payloadLength, bytes.size() - 40));
  std::size_t wire = payloadLength;
  uint8_t next = bytes[6];
  // Hop-by-hop, routing and destination options share one length rule.
  for (int hops = 0; next == 0 || next == 43 || next == 60; ++hops) {
    if (hops == 8 || rest.size() < 8) return FrameKind::kMalformed;
    const std::size_t length = (rest[1] + std::size_t{1}) * 8;
    if (length > rest.size() || length > wire) return FrameKind::kMalformed;
    next = rest[0];
    rest = rest.subspan(length);
    wire -= length;
  }
  if (next == 44) return FrameKind::kFragment;
  if (next != kProtocolTcp) return FrameKind::kOther;
  return DecodeTcp(rest, wire, cut, source, destination, out);
}

FrameKind DecodeByEtherType(uint16_t type, Bytes bytes, bool cut, TcpSegment& out) {
  if (type == kEtherIPv4) return DecodeIPv4(bytes, cut, out);
  if (type == kEtherIPv6) return DecodeIPv6(bytes, cut, out);
  return FrameKind::kOther;
}

FrameKind DecodeRawIP(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.empty()) return FrameKind::kMalformed;
  if ((bytes[0] >> 4) == 4) return DecodeIPv4(bytes, cut, out);
  if ((bytes[0] >> 4) == 6) return DecodeIPv6(bytes, cut, out);
  return FrameKind::kMalformed;
}

FrameKind DecodeEthernet(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 14) return FrameKind::kMalformed;
  std::size_t at = 12;
  uint16_t type = Be16(&bytes[at]);
  // 802.1Q, 802.1ad and the older QinQ tag: four bytes each, possibly stacked.
  for (int tags = 0; type == 0x8100 || type == 0x88A8 || type == 0x9100; ++tags) {
    if (tags == 4 || bytes.size() < at + 6) return FrameKind::kMalformed;
    at += 4;
    type = Be16(&bytes[at]);
  }
  return DecodeByEtherType(type, bytes.subspan(at + 2), cut, out);
}

// Linux cooked capture: 16 bytes, the protocol in the last two.
FrameKind DecodeSll(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 16) return FrameKind::kMalformed;
  return DecodeByEtherType(Be16(&bytes[14]), bytes.subspan(16), cut, out);
}

// Linux cooked capture v2: 20 bytes, the protocol in the first two.
FrameKind DecodeSll2(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 20) return FrameKind::kMalformed;
  return DecodeByEtherType(Be16(&bytes[0]), bytes.subspan(20), cut, out);
}

// BSD loopback: a 4-byte address family in the byte order of the capturing
// host; only the IP version byte after it is trusted.
FrameKind DecodeNull(Bytes bytes, bool cut, TcpSegment& out) {
  if (bytes.size() < 4) return FrameKind::kMalformed;
  const FrameKind kind = DecodeRawIP(bytes.subspan(4), cut, out);
  return kind == FrameKind::kMalformed ? FrameKind::kOther : kind;
}

struct LinkDecoder {
  int linkType;
  FrameKind (*decode)(Bytes, bool, TcpSegment&);
};

const LinkDecoder kLinkDecoders[] = {
    {DLT_EN10MB, DecodeEthernet}, {DLT_LINUX_SLL, DecodeSll}, {DLT_LINUX_SLL2, DecodeSll2},
    {DLT_RAW, DecodeRawIP},       {DLT_IPV4, DecodeRawIP},    {DLT_IPV6, DecodeRawIP},
    {DLT_NULL, DecodeNull},       {DLT_LOOP, DecodeNull},
};

const LinkDecoder* FindDecoder(int linkType) {
  for (const LinkDecoder& decoder : kLinkDecoders) {
    if (decoder.linkType == linkType) return &decoder;
  }
  return nullptr;
}

}  // namespace

bool LinkTypeSupported(int linkType) { return FindDecoder(linkType) != nullptr; }

FrameKind DecodeFrame(int linkType, std::span<const uint8_t> frame, TcpSegment& out, bool cut) {
  const LinkDecoder* decoder = FindDecoder(linkType);
  if (decoder == nullptr) return FrameKind::kOther;
  out.missing = 0;
  return decoder->decode(frame, cut, out);
}

}  // namespace capture
