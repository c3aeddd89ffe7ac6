#pragma once
// TrackedConnection: one TCP connection of a capture, both directions, from
// its segments to the listener's events. Owned by the ConnectionTable.
//
// A connection is taken as EGTS when one of its directions first cuts a
// whole packet, or loses the rest of a packet whose header was sound. With its start in the capture that must be the first thing
// its bytes frame to: a header failure there marks it as not EGTS, and it
// is then only followed until it closes, holding no bytes. Gaps before a
// connection is taken are reported when it is taken, as one event per
// direction with their sum.

#include <array>
#include <cstdint>
#include <optional>

#include "capture/capture_events.h"
#include "capture/egts_cutter.h"
#include "capture/endpoint.h"
#include "capture/frame_decoder.h"
#include "capture/tcp_direction.h"

namespace capture {

// What every connection of one capture shares. Lives longer than them.
struct CaptureContext {
  CaptureListener& listener;
  FramerPool framers;
  uint64_t lastId = 0;
  CaptureTime now;
};

class TrackedConnection {
 public:
  TrackedConnection(CaptureContext& context, const Endpoint& terminal, const Endpoint& platform,
                    bool startSeen);
  TrackedConnection(const TrackedConnection&) = delete;
  TrackedConnection& operator=(const TrackedConnection&) = delete;

  const Endpoint& Terminal() const { return terminal_; }
  const Endpoint& Platform() const { return platform_; }
  void Segment(const TcpSegment& segment);
  // Whether both FINs and every byte before them, or a RST, were seen.
  bool Closed() const;
  // Whether any payload was seen, so that a new SYN starts a new connection.
  bool HasData() const { return hasData_; }
  // Gives up what is still missing, hands over what is held, and reports
  // the end of a connection taken as EGTS. Call once.
  void End(EndReason reason);

 private:
  enum class State { kUndecided, kTaken, kNotEgts };

  // One direction: reassembly, then cutting, then the listener.
  class Pipe : public TcpDirection::Sink, public EgtsCutter::Sink {
   public:
    Pipe(TrackedConnection& owner, Direction direction, bool atPacket);
    void Bytes(std::span<const uint8_t> bytes) override;
    void Gap(uint64_t bytesLost) override;
    void Cut(std::span<const uint8_t> bytes, const TransportHeader& header, uint8_t code,
             bool whole) override;
    void PacketCutShort() override;
    void ReportHeldGap();
    void Release();
    void Finish();

    TrackedConnection& owner;
    const Direction direction;
    std::optional<TcpDirection> tcp;
    std::optional<EgtsCutter> cutter;
    DirectionTotals totals;
    uint64_t heldGapBytes = 0;  // lost before the connection was taken
    CaptureTime heldGapTime;
    bool finSeen = false;
  };

  Pipe& PipeOf(Direction direction) { return pipes_[static_cast<std::size_t>(direction)]; }
  void Take();
  void Cut(Pipe& pipe, std::span<const uint8_t> bytes, const TransportHeader& header, uint8_t code,
           bool whole);

  CaptureContext& context_;
  Endpoint terminal_;
  Endpoint platform_;
  Connection info_;
  State state_ = State::kUndecided;
  bool hasData_ = false;
  bool reset_ = false;
  std::array<Pipe, 2> pipes_;  // by Direction
};

}  // namespace capture
