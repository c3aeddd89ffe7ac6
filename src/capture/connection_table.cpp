#include "capture/connection_table.h"

#include <iterator>
#include <utility>


namespace capture {

namespace {

bool StartsConnection(uint8_t flags) { return (flags & kSyn) != 0 && (flags & kAck) == 0; }

}  // namespace

std::size_t ConnectionTable::KeyHash::operator()(const Key& key) const {
  // FNV-1a over both ends.
  uint64_t hash = 1469598103934665603ULL;
  auto mix = [&hash](const Endpoint& end) {
    for (uint8_t byte : end.address) hash = (hash ^ byte) * 1099511628211ULL;
    hash = (hash ^ end.port) * 1099511628211ULL;
    hash = (hash ^ static_cast<uint8_t>(end.v6)) * 1099511628211ULL;
  };
  mix(key.low);
  mix(key.high);
  return static_cast<std::size_t>(hash);
}

ConnectionTable::Key ConnectionTable::KeyOf(const Endpoint& one, const Endpoint& other) {
  return one < other ? Key{one, other} : Key{other, one};
}

ConnectionTable::ConnectionTable(CaptureListener& listener, uint16_t port)
    : context_{listener, {}, 0, {}}, port_(port) {}

void ConnectionTable::Segment(const TcpSegment& segment, CaptureTime time) {
  context_.now = time;
  if (port_ != 0 && segment.source.port != port_ && segment.destination.port != port_) return;
  const Key key = KeyOf(segment.source, segment.destination);

  auto found = index_.find(key);
  Connections::iterator connection;
  if (found != index_.end() && StartsConnection(segment.flags) && found->second->HasData()) {
    End(found->second, key, EndReason::kReplaced);
    found = index_.end();
  }
  if (found == index_.end()) {
    const bool data = !segment.payload.empty() || segment.missing > 0;
    if ((segment.flags & kRst) || ((segment.flags & kSyn) == 0 && !data)) return;
    connection = Open(segment, key);
  } else {
    connection = found->second;
    connections_.splice(connections_.begin(), connections_, connection);
  }
  connection->Segment(segment);
  if (connection->Closed()) End(connection, key, EndReason::kClosed);
}

void ConnectionTable::EndAll(CaptureTime time) {
  context_.now = time;
  while (!connections_.empty()) {
    auto oldest = std::prev(connections_.end());
    oldest->End(EndReason::kCaptureEnded);
    connections_.erase(oldest);
  }
  index_.clear();
}

ConnectionTable::Connections::iterator ConnectionTable::Open(const TcpSegment& segment, const Key& key) {
  if (index_.size() >= kMaxConnections) {
    auto oldest = std::prev(connections_.end());
    End(oldest, KeyOf(oldest->Terminal(), oldest->Platform()), EndReason::kEvicted);
  }
  const bool synSeen = (segment.flags & kSyn) != 0;
  Endpoint terminal = segment.source;
  Endpoint platform = segment.destination;
  if (synSeen) {
    // The SYN comes from the opening side; a SYN-ACK goes to it.
    if (segment.flags & kAck) std::swap(terminal, platform);
  } else if (terminal.port < platform.port ||
             (terminal.port == platform.port && terminal < platform)) {
    // The platform listens on the lower port.
    std::swap(terminal, platform);
  }
  connections_.emplace_front(context_, terminal, platform, synSeen);
  index_.emplace(key, connections_.begin());
  return connections_.begin();
}

void ConnectionTable::End(Connections::iterator connection, const Key& key, EndReason reason) {
  connection->End(reason);
  connections_.erase(connection);
  index_.erase(key);
}

}  // namespace capture
