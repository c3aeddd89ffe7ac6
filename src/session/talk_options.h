#pragma once
// What the command line decides about talking to terminals, handed down
// once to the threads that talk: whether every packet is confirmed and the
// conversation held and checked (-r), and the result an authorization is
// answered with (-r:<code>; 0 accepts, any other code refuses), and the
// conformance runs that talk instead of the fixed answer (-t:).

#include <cstdint>

namespace session {
class RunDriver;
}

struct TalkOptions {
  bool confirm = false;
  uint8_t authorizationResult = 0;
  // Conformance runs (-t:): they answer authorizations and send what their
  // steps send; null without runs. Outlives every connection.
  session::RunDriver* runs = nullptr;
};
