#include "capture/egts_cutter.h"

#include <algorithm>
#include <cstring>

#include "transport/result_codes.h"

namespace capture {

std::unique_ptr<PacketFramer> FramerPool::Take() {
  if (idle_.empty()) return std::make_unique<PacketFramer>();
  std::unique_ptr<PacketFramer> framer = std::move(idle_.back());
  idle_.pop_back();
  return framer;
}

void FramerPool::Give(std::unique_ptr<PacketFramer> framer) {
  if (framer != nullptr && idle_.size() < kKept) idle_.push_back(std::move(framer));
}

HeaderProbe ProbeHeader(std::span<const uint8_t> bytes) {
  if (bytes.size() < kShortHeaderLength) return HeaderProbe::kNeedMore;
  // PRV 1 and HL 11 or 16 first: most offsets fail here without a check sum.
  if (bytes[0] != 1 || (bytes[3] != kShortHeaderLength && bytes[3] != kRoutedHeaderLength)) {
    return HeaderProbe::kNotSound;
  }
  const std::size_t count = std::min<std::size_t>(bytes.size(), kRoutedHeaderLength);
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(bytes.data(), static_cast<uint16_t>(count), header);
  if (code == EGTS::EGTS_PC_INVDATALEN && count < kRoutedHeaderLength) return HeaderProbe::kNeedMore;
  if (code != EGTS::EGTS_PC_OK) return HeaderProbe::kNotSound;
  const std::size_t length = header.HL + (header.FDL != 0 ? header.FDL + std::size_t{2} : 0);
  return length <= PacketFramer::kMaxPacketLength ? HeaderProbe::kSound : HeaderProbe::kNotSound;
}

EgtsCutter::EgtsCutter(Sink& sink, FramerPool& pool, bool atPacket)
    : sink_(sink), pool_(pool), hunting_(!atPacket) {}

EgtsCutter::~EgtsCutter() { ReturnIdleFramer(); }

void EgtsCutter::Bytes(std::span<const uint8_t> bytes) {
  if (pending_.empty()) {
    // The common case: everything goes straight to the framer.
    bytes = bytes.subspan(Step(bytes));
    if (bytes.empty() && retake_.empty()) {
      ReturnIdleFramer();
      return;
    }
    pending_.swap(retake_);
  }
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  while (!pending_.empty()) {
    const bool wasHunting = hunting_;
    const std::size_t used = Step(pending_);
    if (!retake_.empty()) {
      retake_.insert(retake_.end(), pending_.begin() + static_cast<std::ptrdiff_t>(used), pending_.end());
      pending_.swap(retake_);
      retake_.clear();
      continue;
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(used));
    if (used == 0 && hunting_ == wasHunting) break;  // hunting needs more bytes
  }
  ReturnIdleFramer();
}

void EgtsCutter::Gap() {
  if (inFramer_ > 0 && framer_ != nullptr && framer_->HeaderSound()) sink_.PacketCutShort();
  skipped_ += inFramer_ + pending_.size();
  inFramer_ = 0;
  pending_.clear();
  // The framer's unfinished packet cannot be completed: start from a fresh one.
  framer_.reset();
  hunting_ = true;
}

void EgtsCutter::Finish() {
  skipped_ += pending_.size();
  pending_.clear();
  unframed_ += inFramer_;
  inFramer_ = 0;
  framer_.reset();  // it may hold an unfinished packet: never lent again
}

std::size_t EgtsCutter::Step(std::span<const uint8_t> bytes) {
  return hunting_ ? Hunt(bytes) : Frame(bytes);
}

std::size_t EgtsCutter::Frame(std::span<const uint8_t> bytes) {
  if (framer_ == nullptr) framer_ = pool_.Take();
  std::size_t used = 0;
  while (used < bytes.size()) {
    uint8_t* position = framer_->ReceivePosition();
    const std::size_t count = std::min(framer_->Wanted(), bytes.size() - used);
    std::memcpy(position, bytes.data() + used, count);
    used += count;
    inFramer_ += count;
    const PacketFramer::Outcome outcome = framer_->Received(count);
    if (outcome == PacketFramer::Outcome::kNeedMore) continue;
    const std::span<const uint8_t> cut = framer_->Bytes();
    inFramer_ -= cut.size();
    const bool whole = outcome == PacketFramer::Outcome::kPacket;
    sink_.Cut(cut, framer_->Header(), framer_->ResultCode(), whole);
    if (!whole) {
      retake_.assign(cut.begin() + 1, cut.end());
      hunting_ = true;
      return used;
    }
  }
  return used;
}

std::size_t EgtsCutter::Hunt(std::span<const uint8_t> bytes) {
  std::size_t at = 0;
  for (; at + kShortHeaderLength <= bytes.size(); ++at) {
    const HeaderProbe probe = ProbeHeader(bytes.subspan(at));
    if (probe == HeaderProbe::kNeedMore) break;
    if (probe == HeaderProbe::kSound) {
      hunting_ = false;
      break;
    }
  }
  skipped_ += at;
  return at;
}

// Only a framer between packets goes back: the next cutter starts it afresh.
void EgtsCutter::ReturnIdleFramer() {
  if (inFramer_ == 0) pool_.Give(std::move(framer_));
}

}  // namespace capture
