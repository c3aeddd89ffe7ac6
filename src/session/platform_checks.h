#pragma once
// What a terminal checks in the packets of a platform, alike in -s: and in
// captures: a packet sent again (its PID among the last ones), and the
// authorization's RESULT_CODE sent in an EGTS_PT_RESPONSE packet. One
// platform library answers so; a terminal takes RESULT_CODE from APPDATA
// only (it confirms it there), so it never learns that it was authorized,
// and the RESPONSE confirms no packet of its own.

#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "transport/transport_header.h"

namespace session {

// The result code of the authorization answer in a platform's packet: the
// RESULT_CODE of an AUTH record of an application packet; -1 without one.
int AuthorizationAnswer(const PacketHolder& holder);

class PlatformPacketChecks {
 public:
  // A packet from the platform, its header sound, its frame data parsed.
  void Received(const TransportHeader& header, const PacketHolder& holder, Findings& findings);

 private:
  PidHistory pids_;
};

}  // namespace session
