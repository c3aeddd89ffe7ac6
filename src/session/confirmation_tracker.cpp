#include "session/confirmation_tracker.h"

#include <algorithm>
#include <chrono>

#include "service/common/subrecord_record_response.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace session {

const TrackerTexts kTerminalConfirms = {
    "Packet %u not confirmed within 5000 ms",
    "Record %u not confirmed within 5000 ms",
    nullptr,
    "Record %u confirmed with result %u (%s)",
    "Confirmation of unknown packet %u",
};

const TrackerTexts kPlatformConfirms = {
    "Packet %u not confirmed by the platform within 5000 ms",
    "Record %u not confirmed by the platform within 5000 ms",
    "Record %u not confirmed by the platform",
    "Record %u confirmed with result %u (%s)",
    "Confirmation of unknown packet %u",
};

Millis SteadyNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

ConfirmationTracker::ConfirmationTracker(const TrackerTexts& texts, Millis limit)
    : texts_(texts), limit_(limit) {}

void ConfirmationTracker::Await(const Item& item) {
  if (awaited_.size() >= kMaxAwaited) {
    awaited_.pop_front();
    ++dropped_;
  }
  awaited_.push_back(item);
}

void ConfirmationTracker::Sent(uint16_t pid, const PacketHolder& holder, Millis now) {
  if (!holder.packet || holder.type == EGTS::EGTS_PT_RESPONSE) return;
  // A packet sent again while it is awaited is the same packet: one
  // confirmation answers both.
  if (Awaits(pid)) return;
  Await({true, pid, pid, now + limit_});
  for (const EGTS::Record& record : holder.packet->records) {
    Await({false, record.RN, pid, now + limit_});
  }
}

bool ConfirmationTracker::Awaits(uint16_t pid) const {
  return std::any_of(awaited_.begin(), awaited_.end(),
                     [pid](const Item& item) { return item.packet && item.number == pid; });
}

void ConfirmationTracker::RecordAnswered(uint16_t crn, uint8_t status, Findings& findings) {
  const auto found = std::find_if(awaited_.begin(), awaited_.end(), [crn](const Item& item) {
    return !item.packet && item.number == crn;
  });
  if (found == awaited_.end()) return;
  awaited_.erase(found);
  if (status != EGTS::EGTS_PC_OK) {
    findings.push_back(Warning(texts_.recordStatus, unsigned{crn}, unsigned{status},
                                    ResultCodeText(status)));
  }
}

void ConfirmationTracker::Confirmed(uint16_t rpid, Findings& findings) {
  const auto packet = std::find_if(awaited_.begin(), awaited_.end(), [rpid](const Item& item) {
    return item.packet && item.number == rpid;
  });
  if (packet == awaited_.end()) {
    findings.push_back(Warning(texts_.unknownPacket, unsigned{rpid}));
    return;
  }
  awaited_.erase(packet);
  if (texts_.recordMissing == nullptr) return;
  // The confirmation of a packet answers for its records at once.
  for (auto item = awaited_.begin(); item != awaited_.end();) {
    if (!item->packet && item->pid == rpid) {
      findings.push_back(Warning(texts_.recordMissing, unsigned{item->number}));
      item = awaited_.erase(item);
    } else {
      ++item;
    }
  }
}

void ConfirmationTracker::Received(const PacketHolder& holder, Millis /*now*/,
                                   Findings& findings) {
  if (!holder.packet) return;
  for (const EGTS::Record& record : holder.packet->records) {
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      if (entry.SRT != EGTS::EGTS_SR_RECORD_RESPONSE || !entry.object) continue;
      const auto* response =
          dynamic_cast<const EGTS::Subrecord_RECORD_RESPONSE*>(entry.object.get());
      if (response != nullptr) {
        RecordAnswered(response->CRN(), response->RST(), findings);
      }
    }
  }
  if (holder.type == EGTS::EGTS_PT_RESPONSE) {
    const auto& response = static_cast<const EGTS::Packet_Response&>(*holder.packet);
    Confirmed(response.RPID, findings);
  }
}

void ConfirmationTracker::Expire(Millis now, Findings& findings) {
  while (!awaited_.empty() && awaited_.front().deadline <= now) {
    const Item item = awaited_.front();
    awaited_.pop_front();
    findings.push_back(
        Warning(item.packet ? texts_.packetLate : texts_.recordLate, unsigned{item.number}));
  }
  ReportDropped(findings);
}

void ConfirmationTracker::ExpireAtClose(Millis now, Findings& findings) {
  Expire(now, findings);
  for (const Item& item : awaited_) {
    const char* text = item.packet ? texts_.packetClosed : texts_.recordClosed;
    const long long waited = now - (item.deadline - limit_);
    findings.push_back(text != nullptr
                           ? Warning(text, unsigned{item.number}, waited)
                           : Warning(item.packet ? texts_.packetLate : texts_.recordLate,
                                          unsigned{item.number}));
  }
  awaited_.clear();
}

void ConfirmationTracker::ReportDropped(Findings& findings) {
  if (dropped_ > 0) {
    findings.push_back(Warning(
        "%zu packets and records were no longer awaited: more than %zu at once",
        dropped_, kMaxAwaited));
    dropped_ = 0;
  }
}

Millis ConfirmationTracker::NextDeadline() const {
  return awaited_.empty() ? -1 : awaited_.front().deadline;
}

bool PidHistory::Repeated(uint16_t pid) {
  const auto held = last_.begin() + static_cast<std::ptrdiff_t>(count_);
  if (std::find(last_.begin(), held, pid) != held) return true;
  last_[next_] = pid;
  next_ = (next_ + 1) % kRemembered;
  if (count_ < kRemembered) ++count_;
  return false;
}

}  // namespace session
