#pragma once
// What a fleet drives: one terminal's side of a conversation with a
// platform, pure (packets and times in; packets, findings and whether to
// close out). Simulated units and replayed capture connections are both.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "transport/transport_header.h"

namespace session {

struct UnitTime {
  Millis steady = 0;
  int64_t unixSeconds = 0;
};

struct UnitOutput {
  std::vector<std::vector<uint8_t>> packets;  // to send, in order
  std::vector<std::string> findings;          // finished message lines
  bool close = false;                         // close once the packets are sent
};

// A packet from the platform as a unit reads it: the transport header, the
// frame data parsed with the standard's subrecords and the parse's result.
struct PlatformPacket {
  TransportHeader header;
  PacketHolder holder;
  uint8_t parsed = 0;
  bool application = false;  // not an EGTS_PT_RESPONSE
};

// False when the transport header is unusable: a unit then ignores the bytes.
bool ReadPlatformPacket(std::span<const uint8_t> bytes, PlatformPacket& packet);

class ConversationUnit {
 public:
  virtual ~ConversationUnit() = default;
  virtual void Connected(const UnitTime& now, UnitOutput& out) = 0;
  virtual void Received(std::span<const uint8_t> packet, const UnitTime& now, UnitOutput& out) = 0;
  virtual void Tick(const UnitTime& now, UnitOutput& out) = 0;
  // The connection is gone: closed by the platform, or failed.
  virtual void Closed(bool byPlatform) = 0;
  // When Tick has work next (steady ms); -1: nothing until a packet comes.
  virtual Millis NextWake() const = 0;
  virtual bool Ended() const = 0;
  // The TID that names the unit in reports and tracks.
  virtual uint32_t Tid() const = 0;
};

}  // namespace session
