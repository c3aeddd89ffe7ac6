#pragma once
// The packets and records one side of a connection sent that the other side
// has to confirm: an APPDATA packet awaits a RESPONSE whose RPID is its PID,
// each of its records a RECORD_RESPONSE whose CRN is its RN, within the
// limit. A pure unit: it is fed with what was sent and received and with
// the time, and says what it found as warnings, for the caller to log.
//
// Memory is bounded: at most kMaxAwaited packets and records wait at once;
// past that the oldest is dropped unreported, and the next finding says how
// many were dropped once.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "service/packet.h"
#include "session/finding.h"

namespace session {

// Milliseconds on the caller's clock (a steady clock for live connections,
// the capture time for captures).
using Millis = int64_t;

// Now on a steady clock, for live connections.
Millis SteadyNow();

// The texts of the warnings; each a printf format with "%u" numbers.
struct TrackerTexts {
  const char* packetLate;     // PID
  const char* recordLate;     // RN
  const char* recordMissing;  // RN; null: a record missing from its packet's
                              // confirmation waits for its own deadline
  const char* recordStatus;   // RN, status, status text
  const char* unknownPacket;  // RPID
  // PID or RN and the milliseconds it waited ("%lld"): still awaited,
  // before its deadline, when the connection closed; null where nobody
  // sees the close (live connections).
  const char* packetClosed = nullptr;
  const char* recordClosed = nullptr;
};

// The texts of a platform checking what a terminal confirms (-r).
extern const TrackerTexts kTerminalConfirms;
// The texts of a terminal checking what a platform confirms (-s:).
extern const TrackerTexts kPlatformConfirms;

class ConfirmationTracker {
 public:
  static constexpr std::size_t kMaxAwaited = 1024;
  static constexpr Millis kDefaultLimit = 5000;

  explicit ConfirmationTracker(const TrackerTexts& texts, Millis limit = kDefaultLimit);

  // A packet the tracked side sent. Only application data is awaited.
  void Sent(uint16_t pid, const PacketHolder& holder, Millis now);

  // A packet from the other side: its RPID and its RECORD_RESPONSE
  // subrecords confirm what they name.
  void Received(const PacketHolder& holder, Millis now, Findings& findings);

  // Reports and forgets whatever is past its deadline.
  void Expire(Millis now, Findings& findings);

  // The connection closed at `now`: whatever is past its deadline as
  // Expire says, the rest as not confirmed before the close.
  void ExpireAtClose(Millis now, Findings& findings);

  // The earliest deadline, or -1 when nothing is awaited.
  Millis NextDeadline() const;

  std::size_t Awaited() const { return awaited_.size(); }
  // True when the packet with this PID is still awaited.
  bool Awaits(uint16_t pid) const;

 private:
  struct Item {
    bool packet;
    uint16_t number;  // PID or RN
    uint16_t pid;     // the packet a record came in
    Millis deadline;
  };

  void ReportDropped(Findings& findings);

  void Await(const Item& item);
  void Confirmed(uint16_t rpid, Findings& findings);
  void RecordAnswered(uint16_t crn, uint8_t status, Findings& findings);

  const TrackerTexts& texts_;
  Millis limit_;
  std::deque<Item> awaited_;  // in order of sending, so of deadline
  std::size_t dropped_ = 0;
};

// The last PIDs a sender used: a PID seen again among them is a packet
// sent again (the sender did not take our confirmation).
class PidHistory {
 public:
  static constexpr std::size_t kRemembered = 64;
  // True when pid is among the last kRemembered; then it is not added again.
  bool Repeated(uint16_t pid);

 private:
  // A ring: the oldest is overwritten once it is full.
  std::array<uint16_t, kRemembered> last_{};
  std::size_t count_ = 0;  // how many are held
  std::size_t next_ = 0;   // where the next goes
};

}  // namespace session
