#include "capture/tcp_direction.h"

#include <algorithm>

namespace capture {

bool TcpDirection::OffsetOf(uint32_t seq, uint64_t& offset) const {
  const uint32_t expected = baseSeq_ + static_cast<uint32_t>(next_);
  const int64_t difference = static_cast<int32_t>(seq - expected);
  if (difference < 0 && static_cast<uint64_t>(-difference) > next_) return false;
  offset = next_ + difference;
  return true;
}

void TcpDirection::Syn(uint32_t seq) {
  if (started_) return;
  started_ = true;
  baseSeq_ = seq + 1;
}

void TcpDirection::Segment(uint32_t seq, std::span<const uint8_t> payload, uint32_t missing) {
  if (payload.empty() && missing == 0) return;
  if (!started_) {
    started_ = true;
    baseSeq_ = seq;
  }
  uint64_t offset = 0;
  if (!OffsetOf(seq, offset)) return;
  uint64_t cutEnd = offset + payload.size() + missing;
  if (finSeen_) {
    if (offset >= finOffset_) return;
    payload = payload.first(std::min<uint64_t>(payload.size(), finOffset_ - offset));
    cutEnd = std::min(cutEnd, finOffset_);
  }
  const uint64_t end = offset + payload.size();
  if (offset <= next_) {
    if (end > next_) {
      Deliver(next_, payload.subspan(next_ - offset));
      DrainHeld();
    }
    // What the capture cut off is lost once the bytes before it are in.
    if (missing > 0 && end <= next_) GiveUpBefore(cutEnd);
    return;
  }
  if (payload.empty()) return;
  Hold(offset, payload);
  while (heldBytes_ > kMaxHeldBytes || held_.size() > kMaxHeldSegments) {
    GiveUpHoleBefore(held_.begin()->first);
  }
}

void TcpDirection::Fin(uint32_t seq) {
  if (finSeen_) return;
  if (!started_) {
    // A direction that ends without a byte captured.
    started_ = true;
    baseSeq_ = seq;
  }
  uint64_t offset = 0;
  if (!OffsetOf(seq, offset) || offset < next_) return;
  finSeen_ = true;
  finOffset_ = offset;
}

void TcpDirection::Acknowledged(uint32_t ack) {
  if (!started_) return;
  uint64_t acked = 0;
  if (!OffsetOf(ack, acked)) return;
  if (finSeen_ && acked > finOffset_) acked = finOffset_;
  GiveUpBefore(acked);
}

void TcpDirection::GiveUpBefore(uint64_t end) {
  while (next_ < end) {
    const bool heldBelow = !held_.empty() && held_.begin()->first <= end;
    GiveUpHoleBefore(heldBelow ? held_.begin()->first : end);
  }
}

void TcpDirection::Finish() {
  while (!held_.empty()) GiveUpHoleBefore(held_.begin()->first);
  if (finSeen_) GiveUpHoleBefore(finOffset_);
}

void TcpDirection::Hold(uint64_t offset, std::span<const uint8_t> payload) {
  auto [at, inserted] = held_.try_emplace(offset);
  if (!inserted && at->second.size() >= payload.size()) return;
  heldBytes_ += payload.size() - at->second.size();
  at->second.assign(payload.begin(), payload.end());
}

void TcpDirection::Deliver(uint64_t offset, std::span<const uint8_t> payload) {
  next_ = offset + payload.size();
  sink_->Bytes(payload);
}

void TcpDirection::DrainHeld() {
  while (!held_.empty() && held_.begin()->first <= next_) {
    auto node = held_.extract(held_.begin());
    heldBytes_ -= node.mapped().size();
    const uint64_t offset = node.key();
    const std::span<const uint8_t> bytes = node.mapped();
    if (offset + bytes.size() > next_) Deliver(next_, bytes.subspan(next_ - offset));
  }
}

void TcpDirection::GiveUpHoleBefore(uint64_t offset) {
  if (offset > next_) {
    const uint64_t lost = offset - next_;
    next_ = offset;
    sink_->Gap(lost);
  }
  DrainHeld();
}

}  // namespace capture
