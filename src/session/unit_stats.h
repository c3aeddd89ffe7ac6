#pragma once
// What a fleet of simulated units did, counted by the units as they go:
// the summary's numbers. Latencies are kept as counts per millisecond up to
// a minute (longer ones in the last bucket), so memory is fixed whatever
// the run's length.

#include <cstdint>
#include <vector>

namespace session {

class LatencyHistogram {
 public:
  static constexpr std::size_t kBuckets = 60001;  // 0..60000 ms

  LatencyHistogram() : counts_(kBuckets, 0) {}
  void Add(int64_t ms);
  // The smallest value at or above which lies (100 - percent)% of the
  // values; 0 without values.
  int64_t Percentile(double percent) const;
  int64_t Max() const { return max_; }
  uint64_t Count() const { return total_; }

 private:
  std::vector<uint32_t> counts_;
  uint64_t total_ = 0;
  int64_t max_ = 0;
};

struct UnitStats {
  uint64_t units = 0;
  uint64_t connected = 0;
  uint64_t authorized = 0;
  uint64_t refused = 0;
  uint64_t recordsSent = 0;
  uint64_t recordsConfirmed = 0;
  uint64_t resends = 0;
  uint64_t lost = 0;
  uint64_t closedByPlatform = 0;
  uint64_t connectFailures = 0;
  uint64_t packetsSent = 0;
  uint64_t packetsReceived = 0;
  uint64_t commandsAnswered = 0;
  uint64_t positionsSkipped = 0;  // a position fell due while the unit's window was full
  int64_t lastAuthorizedAt = -1;  // steady ms of the latest authorization
  LatencyHistogram authMs;
  LatencyHistogram latencyMs;
};

}  // namespace session
