#pragma once
// The conversation with one terminal as the platform holds it (-r): what
// the terminal said of itself, whether it authorized in time, whether it
// confirms what the platform sends (the authorization answer, commands) and
// whether it sends packets again; and the platform's counters for what it
// sends on the connection. A pure unit fed with the packets received and
// sent and with the time; the live client thread and the capture reader
// drive it alike.
//
// Memory is bounded: the confirmation tracker and the PID history are
// capped, and at most kMaxCommands commands wait for their answers (the
// oldest is forgotten past that).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>

#include "compose/confirmation.h"
#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "session/peer_confirmation.h"
#include "transport/bytestream.h"
#include "transport/transport_header.h"

namespace session {

class TerminalConversation {
 public:
  static constexpr Millis kAuthorizationLimit = 6000;
  static constexpr std::size_t kMaxCommands = 256;
  static constexpr std::size_t kMaxParts = 65535;

  // `texts` name what the terminal fails to confirm; without
  // `watchAuthorization` (a capture that lacks the connection's start) the
  // time to authorize and data before authorization are not checked.
  // `authorizationLimit` is the time the terminal has to ask for
  // authorization.
  explicit TerminalConversation(Millis connectedAt,
                                const TrackerTexts& texts = kTerminalConfirms,
                                bool watchAuthorization = true,
                                Millis authorizationLimit = kAuthorizationLimit);

  struct Received {
    bool authorizationAsked = false;  // an AUTH record with TERM_IDENTITY or DISPATCHER_IDENTITY
  };

  // A packet from the terminal, its header sound, its frame data parsed.
  Received FromTerminal(const TransportHeader& header, const PacketHolder& holder, Millis now,
                        Findings& findings);

  // A packet the platform sent, parsed as sent.
  void FromPlatform(const TransportHeader& header, const PacketHolder& holder, Millis now);

  // A command the platform sent: its answer (CT_COMCONF with this CID) is
  // logged when it comes.
  void CommandSent(uint32_t cid, uint16_t ccd);

  // A part of an uploaded object the platform sent in record `rn`: its
  // RECORD_RESPONSE is logged when it comes.
  void PartSent(uint16_t rn, uint16_t objectId, std::size_t part, std::size_t parts);

  void Expire(Millis now, Findings& findings);
  // The connection closed at `now` (tracker's ExpireAtClose).
  void ExpireAtClose(Millis now, Findings& findings);
  // True once Expire has found that the terminal did not ask for
  // authorization in time; a live connection is then closed.
  bool AuthorizationOverdue() const { return authorizationOverdue_; }
  Millis AuthorizationLimit() const { return authorizationLimit_; }
  // The earliest moment Expire has something to do, or -1.
  Millis NextDeadline() const;

  // The confirmation of a packet from the terminal (peer_confirmation.h),
  // numbered with the platform's counters.
  uint8_t Confirm(const TransportHeader& received, uint8_t parseResult, const PacketHolder& parsed,
                  EGTS::bytestream& out, Findings& findings) {
    return confirmation_.Compose(received, parseResult, parsed, counters_, out, findings);
  }

  // The platform's counters for everything it sends on this connection.
  ConfirmationCounters& Counters() { return counters_; }

  // What the connection's summary shows.
  bool Authorized() const { return authorizationAsked_; }
  const std::optional<uint32_t>& Tid() const { return tid_; }
  const std::string& Imei() const { return imei_; }  // UTF-8; empty when not sent
  uint64_t PacketsReceived() const { return packetsReceived_; }
  // The block size the terminal announced (BS), 0 when it did not.
  uint16_t BlockSize() const { return blockSize_; }

 private:
  void ReadIdentity(const EGTS::Record& record, Received& received);
  void CheckDataBeforeAuthorization(const EGTS::Record& record, Findings& findings);
  void ReadCommandAnswers(const EGTS::Record& record, Findings& findings);
  void ReadPartAnswers(const EGTS::Record& record, Findings& findings);

  Millis authorizationLimit_;
  Millis authorizationDeadline_;
  bool authorizationAsked_ = false;
  bool authorizationOverdue_ = false;
  bool authorizationLateReported_;
  bool dataBeforeAuthorizationReported_;
  std::optional<uint32_t> tid_;
  std::string imei_;
  uint64_t packetsReceived_ = 0;
  ConfirmationTracker terminalConfirms_;
  PidHistory terminalPids_;
  struct Command {
    uint32_t cid;
    uint16_t ccd;
  };
  std::deque<Command> commands_;
  struct Part {
    uint16_t rn;
    uint16_t objectId;
    std::size_t part;  // zero-based
    std::size_t parts;
  };
  std::deque<Part> parts_;  // at most kMaxParts
  uint16_t blockSize_ = 0;
  ConfirmationCounters counters_;
  PeerConfirmation confirmation_{"terminal"};
};

}  // namespace session
