#pragma once
// What a connection's thread tells conformance runs and asks of them (-t:):
// its connection opened and closed, the unit's packets, the packets the
// runs want sent on it, and whether they want it closed. Safe from any
// thread; the implementation keeps the time.

#include <cstdint>
#include <vector>

#include "compose/confirmation.h"
#include "service/packet.h"
#include "transport/transport_header.h"

namespace session {

class RunDriver {
 public:
  virtual ~RunDriver() = default;
  virtual void Connected(uint32_t client) = 0;
  virtual void Closed(uint32_t client) = 0;
  // A packet of the unit, parsed with the standard's subrecords.
  virtual void Received(uint32_t client, const TransportHeader& header,
                        const PacketHolder& holder) = 0;
  // Packets to send on the connection now, numbered with its counters.
  virtual std::vector<std::vector<uint8_t>> Outgoing(uint32_t client,
                                                     ConfirmationCounters& counters) = 0;
  virtual bool WantsClose(uint32_t client) = 0;
  // An SMS-DELIVER PDU of the unit, typed on the console; what it says is
  // printed.
  virtual void SmsAnswer(const std::vector<uint8_t>& pdu) = 0;
};

}  // namespace session
