#pragma once
// Reads a pcap or pcapng capture and tells a CaptureListener about every
// EGTS packet of every TCP connection in it, both ways, with the gaps, the
// parts whose header failed, the end of each connection, damage to the
// file and progress (see capture_events.h). Prints nothing.
//
// Connections are cut into packets by the live connections' PacketFramer;
// which connections count as EGTS, and which side is the terminal, is told
// in tracked_connection.h and connection_table.h. Memory is bounded by the
// open connections, never by the size of the capture.

#include <cstdint>
#include <span>
#include <string>

#include "capture/capture_events.h"

namespace capture {

struct CaptureOptions {
  uint16_t port = 0;  // follow only connections with this port at either end; 0: all
};

// What was read, for a summary. `opened` false: the file could not be read
// as a capture at all (`error` says why) and nothing was delivered.
struct CaptureTotals {
  bool opened = false;
  std::string error;
  uint64_t records = 0;
  uint64_t segments = 0;   // TCP segments decoded
  uint64_t other = 0;      // frames that are not TCP over IP
  uint64_t fragments = 0;  // IP fragments, not put back together
  uint64_t malformed = 0;  // frames shorter than their headers say, or a header field out of range
  uint64_t cut = 0;        // frames the snap length cut short (a segment among them still counts)
  int snapLength = 0;      // the capture's
  bool damaged = false;    // OnDamage was called
};

CaptureTotals ReadCapture(const std::string& path, const CaptureOptions& options,
                          CaptureListener& listener);
// The same for a capture held in memory.
CaptureTotals ReadCaptureBytes(std::span<const uint8_t> bytes, const CaptureOptions& options,
                               CaptureListener& listener);

}  // namespace capture
