#pragma once
// Cuts one captured frame down to its TCP segment: the link layer
// (Ethernet with VLAN tags, Linux cooked SLL and SLL2, raw IP, BSD
// loopback), then IPv4 or IPv6 (extension headers skipped), then TCP.
// Never reads past the frame. A frame cut short by the capture's snap
// length still gives its segment when the TCP header's first 14 bytes
// (ports, numbers, data offset, flags) were captured: with the payload
// bytes that were, and the count of those that were not (`missing`, from
// the IP length).
//
// TCP check sums are not verified: captures taken on the sending host
// carry the check sums the network card fills in later.

#include <cstdint>
#include <span>

#include "capture/endpoint.h"

namespace capture {

struct TcpSegment {
  Endpoint source;
  Endpoint destination;
  uint32_t seq = 0;
  uint32_t ack = 0;
  uint8_t flags = 0;  // the TCP flags byte: kFin, kSyn, kRst, kAck below
  std::span<const uint8_t> payload;
  // Payload bytes the IP header counts beyond those captured.
  uint32_t missing = 0;
};

constexpr uint8_t kFin = 0x01;
constexpr uint8_t kSyn = 0x02;
constexpr uint8_t kRst = 0x04;
constexpr uint8_t kAck = 0x10;

enum class FrameKind {
  kSegment,    // a TCP segment: `out` is filled
  kOther,      // not TCP over IP (ARP, UDP, ...)
  kFragment,   // an IP fragment: fragmented TCP is not put back together
  kMalformed,  // shorter than its headers say, or a header field out of range
};

// Whether frames of this libpcap link type (DLT_...) can be decoded.
bool LinkTypeSupported(int linkType);

// `out.payload` points into `frame`. `cut`: the capture holds fewer bytes of
// the frame than it had (its snap length), so headers may end early.
FrameKind DecodeFrame(int linkType, std::span<const uint8_t> frame, TcpSegment& out,
                      bool cut = false);

}  // namespace capture
