#include "capture/capture_events.h"

namespace capture {

const char* DirectionText(Direction direction) {
  return direction == Direction::kTerminalToPlatform ? "terminal -> platform" : "platform -> terminal";
}

const char* EndReasonText(EndReason reason) {
  switch (reason) {
    case EndReason::kClosed: return "closed";
    case EndReason::kReplaced: return "replaced by a new connection";
    case EndReason::kEvicted: return "too many open connections";
    case EndReason::kCaptureEnded: return "open at the end of the capture";
  }
  return "";
}

}  // namespace capture
