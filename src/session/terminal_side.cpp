#include "session/terminal_side.h"

#include <utility>

#include "transport/bytestream.h"

namespace session {

TerminalSide::TerminalSide(const TrackerTexts& texts, bool confirms)
    : confirms_(confirms), tracker_(texts) {}

void TerminalSide::Sent(const TransportHeader& header, const PacketHolder& holder, Millis now) {
  tracker_.Sent(header.PID, holder, now);
}

Step TerminalSide::Received(uint8_t headerCode, const TransportHeader& header,
                            uint8_t parseResult, const PacketHolder& holder, Millis now) {
  Step step;
  if (confirms_ && NeedsConfirmation(headerCode, header)) {
    EGTS::bytestream confirmation;
    if (confirmation_.Compose(header, parseResult, holder, counters_, confirmation,
                              step.findings) == 0) {
      step.replies.push_back({true, std::move(confirmation.bytes), {}});
    }
  }
  checks_.Received(header, holder, step.findings);
  tracker_.Received(holder, now, step.findings);
  return step;
}

}  // namespace session
