#pragma once
// The terminal's side of a conversation with a platform, pure: what the
// terminal sent awaits the platform's confirmation, the platform's packets
// are checked (platform_checks.h) and, where the terminal talks, confirmed.
// -s: drives it live as the terminal; a capture drives it with what the
// terminal sent and what the platform answered.

#include <cstdint>

#include "compose/confirmation.h"
#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "session/peer_confirmation.h"
#include "session/platform_checks.h"
#include "session/conversation_step.h"
#include "transport/transport_header.h"

namespace session {

class TerminalSide {
 public:
  // `texts` name what the platform fails to confirm; with `confirms` each
  // packet of the platform gets its confirmation (a terminal that talks).
  TerminalSide(const TrackerTexts& texts, bool confirms);

  // A packet the terminal sent.
  void Sent(const TransportHeader& header, const PacketHolder& holder, Millis now);
  // A packet from the platform: the result of its header's check, its
  // header, the result of its frame data's parse and the parse. The step
  // holds its confirmation (with `confirms`) and what the checks found.
  Step Received(uint8_t headerCode, const TransportHeader& header, uint8_t parseResult,
                const PacketHolder& holder, Millis now);

  void Expire(Millis now, Findings& findings) { tracker_.Expire(now, findings); }
  // The connection closed at `now` (tracker's ExpireAtClose).
  void ExpireAtClose(Millis now, Findings& findings) { tracker_.ExpireAtClose(now, findings); }
  // True while the packet with this PID awaits its confirmation.
  bool Awaits(uint16_t pid) const { return tracker_.Awaits(pid); }

  // The counters the confirmations are numbered with.
  ConfirmationCounters& Counters() { return counters_; }

 private:
  bool confirms_;
  ConfirmationTracker tracker_;
  PlatformPacketChecks checks_;
  PeerConfirmation confirmation_{"platform"};
  ConfirmationCounters counters_;
};

}  // namespace session
