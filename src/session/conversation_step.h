#pragma once
// What a side of a conversation is to do after a packet or a moment: the
// packets to send, what it found, whether to close.

#include <cstdint>
#include <vector>

#include "session/finding.h"

namespace session {

// One packet to send.
struct Reply {
  // A confirmation is reported only; a packet of our own is told back to
  // the side once sent (PlatformConversation::Sent), so that its answers are
  // awaited.
  bool confirmation = false;
  std::vector<uint8_t> bytes;
  Findings whenSent;  // true only once the packet went out
};

struct Step {
  std::vector<Reply> replies;  // in order; none after one that failed
  Findings findings;
  bool close = false;  // close once the replies are sent
};

}  // namespace session
