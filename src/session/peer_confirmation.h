#pragma once
// Confirming what a peer sends, alike on every side that talks (-r, -s: and
// the simulated units): each application packet gets an EGTS_PT_RESPONSE
// with the result of its parse, and each of its records a RECORD_RESPONSE,
// except a record that holds RECORD_RESPONSE subrecords only. Such a record
// confirms records itself: answering it with a record of our own would
// never end with a peer that confirms confirmations (one answers every
// record of our RESPONSE packets with an APPDATA packet of RECORD_RESPONSEs,
// and two such sides exchange packets as fast as they can). Its packet is
// still confirmed. The first time a peer confirms a record of one of our
// RESPONSE packets gives one warning.

#include <cstddef>
#include <cstdint>
#include <deque>

#include "compose/confirmation.h"
#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "transport/bytestream.h"
#include "transport/transport_header.h"

namespace session {

// Whether a received record gets a RECORD_RESPONSE of its own: not when all
// of its subrecords (one at least) are RECORD_RESPONSEs.
bool RecordWantsResponse(const EGTS::Record& record);

class PeerConfirmation {
 public:
  // Records of our RESPONSE packets remembered for the warning.
  static constexpr std::size_t kRemembered = 256;

  // `peer` names the other side in the warning ("terminal", "platform").
  explicit PeerConfirmation(const char* peer) : peer_(peer) {}

  // ComposeConfirmation with the rule above; the warning goes to findings.
  uint8_t Compose(const TransportHeader& received, uint8_t parseResult, const PacketHolder& parsed,
                  ConfirmationCounters& counters, EGTS::bytestream& out, Findings& findings);

 private:
  bool ConfirmsOurResponse(const PacketHolder& parsed) const;

  const char* peer_;
  std::deque<uint16_t> ourResponseRecords_;  // RNs, the latest last
  bool warned_ = false;
};

}  // namespace session
