#pragma once
// The road of what simulated units send and receive: the packet pipeline,
// as every source's packets take it. Reports (text: "Unit <tid> sent:" or
// "received:" and the dump, the transport check, the service layer with -v
// or -x; with -j one "packet" object, source "unit" for the unit's own and
// "platform" for the platform's, with the member "unit": the TID) are
// written when `print`; the positions a unit sends reach the tracks (-g:)
// either way, under the unit's TID.

#include <cstdint>
#include <span>

#include "pipeline/packet_pipeline.h"
#include "pipeline/packet_road.h"

class UnitPacketRoad {
 public:
  UnitPacketRoad(const PacketRoad& road, bool print) : pipeline_(road), print_(print) {}

  // Whether Take does anything for a packet sent (or received).
  bool Wanted(bool sent) const { return print_ || (sent && pipeline_.Road().tracks != nullptr); }

  void Take(uint32_t tid, bool sent, std::span<const uint8_t> bytes) const;

 private:
  pipeline::PacketPipeline pipeline_;
  bool print_;
};
