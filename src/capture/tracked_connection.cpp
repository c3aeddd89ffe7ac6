#include "capture/tracked_connection.h"

namespace capture {

TrackedConnection::Pipe::Pipe(TrackedConnection& owner, Direction direction, bool atPacket)
    : owner(owner), direction(direction) {
  tcp.emplace(*this);
  cutter.emplace(*this, owner.context_.framers, atPacket);
}

void TrackedConnection::Pipe::Bytes(std::span<const uint8_t> bytes) {
  if (owner.state_ != State::kNotEgts) cutter->Bytes(bytes);
}

void TrackedConnection::Pipe::Gap(uint64_t bytesLost) {
  ++totals.gaps;
  totals.bytesLost += bytesLost;
  cutter->Gap();
  if (owner.state_ == State::kTaken) {
    owner.context_.listener.OnGap({owner.context_.now, owner.info_, direction, bytesLost});
    return;
  }
  if (heldGapBytes == 0) heldGapTime = owner.context_.now;
  heldGapBytes += bytesLost;
}

void TrackedConnection::Pipe::Cut(std::span<const uint8_t> bytes, const TransportHeader& header,
                                  uint8_t code, bool whole) {
  owner.Cut(*this, bytes, header, code, whole);
}

void TrackedConnection::Pipe::PacketCutShort() {
  // A sound header is as good a sign of EGTS as a whole packet: a capture
  // with a small snap length may hold no whole packet at all.
  if (owner.state_ == State::kUndecided) owner.Take();
}

void TrackedConnection::Pipe::ReportHeldGap() {
  if (heldGapBytes == 0) return;
  owner.context_.listener.OnGap({heldGapTime, owner.info_, direction, heldGapBytes});
  heldGapBytes = 0;
}

void TrackedConnection::Pipe::Release() {
  cutter.reset();
  tcp.reset();
}

void TrackedConnection::Pipe::Finish() {
  if (!tcp) return;
  tcp->Finish();
  cutter->Finish();
  totals.bytesSkipped = cutter->Skipped();
  totals.bytesUnframed = cutter->Unframed();
  Release();
}

TrackedConnection::TrackedConnection(CaptureContext& context, const Endpoint& terminal,
                                     const Endpoint& platform, bool startSeen)
    : context_(context),
      terminal_(terminal),
      platform_(platform),
      pipes_{{Pipe(*this, Direction::kTerminalToPlatform, startSeen),
              Pipe(*this, Direction::kPlatformToTerminal, startSeen)}} {
  info_.name = EndpointText(terminal) + " -> " + EndpointText(platform);
  info_.startSeen = startSeen;
}

void TrackedConnection::Segment(const TcpSegment& segment) {
  const bool fromTerminal = segment.source == terminal_;
  Pipe& own = PipeOf(fromTerminal ? Direction::kTerminalToPlatform : Direction::kPlatformToTerminal);
  Pipe& peer = PipeOf(fromTerminal ? Direction::kPlatformToTerminal : Direction::kTerminalToPlatform);
  if (segment.flags & kRst) reset_ = true;
  if (segment.flags & kFin) own.finSeen = true;
  if (!segment.payload.empty() || segment.missing > 0) hasData_ = true;
  if (state_ == State::kNotEgts || reset_) return;

  const bool syn = (segment.flags & kSyn) != 0;
  if (syn) {
    own.tcp->Syn(segment.seq);
    // A SYN-ACK also tells where the opening side's bytes start.
    if (segment.flags & kAck) peer.tcp->Syn(segment.ack - 1);
  }
  if (segment.flags & kAck) peer.tcp->Acknowledged(segment.ack);
  const uint32_t dataSeq = segment.seq + (syn ? 1 : 0);
  own.tcp->Segment(dataSeq, segment.payload, segment.missing);
  if (segment.flags & kFin) {
    own.tcp->Fin(dataSeq + static_cast<uint32_t>(segment.payload.size()) + segment.missing);
  }
  if (state_ == State::kNotEgts) {
    for (Pipe& pipe : pipes_) pipe.Release();
  }
}

bool TrackedConnection::Closed() const {
  if (reset_) return true;
  if (state_ == State::kNotEgts) return pipes_[0].finSeen && pipes_[1].finSeen;
  return pipes_[0].tcp->Complete() && pipes_[1].tcp->Complete();
}

void TrackedConnection::End(EndReason reason) {
  for (Pipe& pipe : pipes_) pipe.Finish();
  if (state_ != State::kTaken) return;
  context_.listener.OnConnectionEnd(
      {context_.now, info_, reason, pipes_[0].totals, pipes_[1].totals});
}

void TrackedConnection::Take() {
  state_ = State::kTaken;
  info_.id = ++context_.lastId;
  for (Pipe& pipe : pipes_) pipe.ReportHeldGap();
}

void TrackedConnection::Cut(Pipe& pipe, std::span<const uint8_t> bytes, const TransportHeader& header,
                            uint8_t code, bool whole) {
  if (state_ == State::kNotEgts) return;
  if (state_ == State::kUndecided) {
    // Bytes that frame to a failed header first: this is some other protocol.
    if (!whole && info_.startSeen) state_ = State::kNotEgts;
    if (!whole) return;
    Take();
  }
  if (whole) {
    ++pipe.totals.packets;
  } else {
    ++pipe.totals.parts;
  }
  context_.listener.OnPacket({context_.now, info_, pipe.direction, whole, bytes, header, code});
}

}  // namespace capture
