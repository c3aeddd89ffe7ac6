#pragma once
// ConnectionTable: the TCP connections of one capture that are open at the
// current capture time, looked up by their addresses and ports.
//
// At most kMaxConnections are followed at once. A segment that would open
// one more first ends the connection idle longest (EndReason::kEvicted);
// should that connection speak again, it is picked up as one whose start is
// not in the capture. With framers lent only while a packet is unfinished,
// an idle connection costs under a kilobyte; the most any connection can
// hold is two unfinished packets (a 64 KiB framer each) and two
// out-of-order holds (65,553 bytes in at most 256 segments each), about
// 300 KiB, so the table stays under about 620 MiB whatever the capture.
//
// Only segments with a SYN or with payload open a connection: a lone ACK,
// FIN or RST of a connection not followed is passed over.

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include "capture/endpoint.h"
#include "capture/frame_decoder.h"
#include "capture/tracked_connection.h"

namespace capture {

class ConnectionTable {
 public:
  static constexpr std::size_t kMaxConnections = 2048;

  // port: follow only connections with this port at either end; 0 for all.
  ConnectionTable(CaptureListener& listener, uint16_t port);
  ConnectionTable(const ConnectionTable&) = delete;
  ConnectionTable& operator=(const ConnectionTable&) = delete;

  void Segment(const TcpSegment& segment, CaptureTime time);
  // Ends every connection still open (EndReason::kCaptureEnded) at `time`.
  void EndAll(CaptureTime time);
  std::size_t OpenCount() const { return index_.size(); }

 private:
  struct Key {
    Endpoint low;
    Endpoint high;
    bool operator==(const Key&) const = default;
  };
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  using Connections = std::list<TrackedConnection>;

  static Key KeyOf(const Endpoint& one, const Endpoint& other);

  Connections::iterator Open(const TcpSegment& segment, const Key& key);
  void End(Connections::iterator connection, const Key& key, EndReason reason);

  CaptureContext context_;
  uint16_t port_;
  Connections connections_;  // most recently active first
  std::unordered_map<Key, Connections::iterator, KeyHash> index_;
};

}  // namespace capture
