#include "session/unit_stats.h"

#include <algorithm>
#include <cmath>

namespace session {

void LatencyHistogram::Add(int64_t ms) {
  const auto bucket = static_cast<std::size_t>(std::clamp<int64_t>(ms, 0, kBuckets - 1));
  ++counts_[bucket];
  ++total_;
  max_ = std::max(max_, ms);
}

int64_t LatencyHistogram::Percentile(double percent) const {
  if (total_ == 0) return 0;
  const auto rank = static_cast<uint64_t>(std::ceil(percent / 100.0 * static_cast<double>(total_)));
  uint64_t seen = 0;
  for (std::size_t i = 0; i < counts_.size(); ++i) {
    seen += counts_[i];
    if (seen >= std::max<uint64_t>(rank, 1)) return static_cast<int64_t>(i);
  }
  return max_;
}

}  // namespace session
