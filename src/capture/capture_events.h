#pragma once
// What the capture reader tells its listener, and the listener itself.
//
// Every event comes in capture-time order, on the thread that called the
// reader, and refers to memory that lives only for the duration of the
// call: copy what must outlive it. None of these types prints anything.

#include <cstdint>
#include <span>
#include <string>

#include "transport/transport_header.h"

namespace capture {

// A capture record's time stamp: seconds since 1970-01-01 UTC and
// microseconds within that second.
struct CaptureTime {
  int64_t seconds = 0;
  uint32_t microseconds = 0;
};

enum class Direction { kTerminalToPlatform, kPlatformToTerminal };

// "terminal -> platform" or "platform -> terminal".
const char* DirectionText(Direction direction);

// One TCP connection taken as EGTS. `id` counts from 1 in the order the
// connections were taken; `name` is "a.b.c.d:port -> e.f.g.h:port" (IPv6
// addresses in brackets) from the terminal to the platform. `startSeen`:
// the capture holds the connection's SYN, so the terminal is the side that
// opened it; otherwise the side with the lower port is the platform.
struct Connection {
  uint64_t id = 0;
  std::string name;
  bool startSeen = false;
};

// A whole packet (whole = true, headerCode 0) or a part whose transport
// header failed (whole = false; the 11 or 16 bytes the framer read, and the
// failing result code). `time` is that of the capture record that completed
// it.
struct PacketEvent {
  CaptureTime time;
  const Connection& connection;
  Direction direction;
  bool whole;
  std::span<const uint8_t> bytes;
  const TransportHeader& header;
  uint8_t headerCode;
};

// Bytes of one direction that the capture does not hold. Framing starts
// again at the next offset where a sound header begins.
struct GapEvent {
  CaptureTime time;
  const Connection& connection;
  Direction direction;
  uint64_t bytesLost;
};

// Counts of one direction over the whole connection.
struct DirectionTotals {
  uint64_t packets = 0;
  uint64_t parts = 0;          // parts whose header failed
  uint64_t gaps = 0;
  uint64_t bytesLost = 0;      // in gaps
  uint64_t bytesSkipped = 0;   // passed over while looking for a sound header
  uint64_t bytesUnframed = 0;  // of an unfinished packet when the connection ended
};

enum class EndReason {
  kClosed,        // FIN both ways or RST
  kReplaced,      // a new SYN reused the connection's addresses and ports
  kEvicted,       // the table of open connections was full; this one was idle longest
  kCaptureEnded,  // still open at the end (or the damage) of the capture
};

const char* EndReasonText(EndReason reason);

struct ConnectionEndEvent {
  CaptureTime time;
  const Connection& connection;
  EndReason reason;
  DirectionTotals terminalToPlatform;
  DirectionTotals platformToTerminal;
};

class CaptureListener {
 public:
  virtual ~CaptureListener() = default;
  virtual void OnPacket(const PacketEvent& event) = 0;
  virtual void OnGap(const GapEvent& event) = 0;
  virtual void OnConnectionEnd(const ConnectionEndEvent& event) = 0;
  // The capture file is damaged or truncated: called once, after everything
  // before the damage was delivered and before the connections still open
  // are ended. `message` is one line without a line break.
  virtual void OnDamage(const std::string& message) = 0;
  // Bytes of the capture file read so far, of `fileSize` (0 when unknown).
  // Called every few thousand records and once at the end.
  virtual void OnProgress(uint64_t bytesRead, uint64_t fileSize) = 0;
};

}  // namespace capture
