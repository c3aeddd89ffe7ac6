#pragma once
// The platform's side of a conversation with one terminal (-r), pure: fed
// with the packets received and sent and with the time, it says what to
// send back (each packet's confirmation, the authorization answer, the
// operator's commands and uploads), what it found, and when the connection
// is to close. The live client thread sends the bytes, reports them and
// tells it what went out; it keeps no clock, socket or thread of its own.

#include <cstdint>
#include <span>
#include <vector>

#include "compose/confirmation.h"
#include "compose/object_parts.h"
#include "service/commands/subrecord_command_data.h"
#include "service/packet.h"
#include "session/conversation_step.h"
#include "session/terminal_conversation.h"
#include "transport/transport_header.h"

namespace session {

struct PlatformPolicy {
  uint8_t authorizationResult = 0;
  // False where someone else answers the authorization (conformance runs).
  bool answersAuthorization = true;
  Millis authorizationLimit = TerminalConversation::kAuthorizationLimit;
};

class PlatformConversation {
 public:
  PlatformConversation(Millis connectedAt, const PlatformPolicy& policy);

  // A packet from the terminal: the result of its header's check, its
  // header, the result of its frame data's parse and the parse.
  Step Received(uint8_t headerCode, const TransportHeader& header, uint8_t parseResult,
                const PacketHolder& holder, Millis now);
  // A packet of our own that went out, parsed as sent.
  void Sent(const TransportHeader& header, const PacketHolder& holder, Millis now);
  // An operator's command with this CID.
  Step Command(const EGTS::Subrecord_COMMAND_DATA& command, uint32_t cid);
  // An object to upload, in parts sized for the terminal's block.
  Step Upload(std::span<const uint8_t> object, const ObjectHeader& header);
  // The deadlines due at `now`; closes a terminal that did not ask for
  // authorization in time.
  Step Tick(Millis now);
  // The earliest moment Tick has something to do, or -1.
  Millis NextDeadline() const { return terminal_.NextDeadline(); }

  // The counters of everything sent on the connection (conformance runs
  // number their packets with them too).
  ConfirmationCounters& Counters() { return terminal_.Counters(); }
  const TerminalConversation& Terminal() const { return terminal_; }

 private:
  PlatformPolicy policy_;
  TerminalConversation terminal_;
  uint16_t objectId_ = 0;  // of the last upload
  bool closing_ = false;
};

}  // namespace session
