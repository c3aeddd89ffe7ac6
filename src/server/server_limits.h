#pragma once
// The time limits of the server's connections and of its incoming
// directory. They are settings of the server objects, fixed when the work
// thread is made (the command line has no options for them; tests shorten
// them).

#include <chrono>

#include "session/terminal_conversation.h"

struct ServerLimits {
  // With -r: a connection whose terminal has not asked for authorization
  // within this time is closed (EGTS_SL_NOT_AUTH_TO of the standard, 6 s).
  std::chrono::milliseconds notAuthorized{session::TerminalConversation::kAuthorizationLimit};
  // When every slot is taken and a terminal knocks, the connection that has
  // gone longest without a complete packet is closed to make room, if that
  // is at least this long.
  std::chrono::milliseconds idle{60000};
  // A file that can not be moved out of the incoming directory (a writer
  // still holds it) is tried again after this pause, which doubles after
  // each failed try up to heldFileRetryLimit.
  std::chrono::milliseconds heldFileFirstRetry{100};
  std::chrono::milliseconds heldFileRetryLimit{2000};
};
