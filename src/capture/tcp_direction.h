#pragma once
// TcpDirection: puts the bytes of one direction of a TCP connection back
// in order, from segments in capture order.
//
// Written here rather than taken from libtins' TCPIP::StreamFollower
// (Debian's 4.0), which was weighed first and does not fit:
//  - it has no gap event: data missing from the capture either stalls the
//    flow until its buffering limits end the whole stream (termination
//    reason BUFFERED_DATA), or, in recovery mode, is skipped without telling
//    how many bytes were lost;
//  - those limits (512 chunks, 3 MB per flow) are private constants with no
//    setter, far above the one packet's worth this reader may hold;
//  - it keeps every stream it sees in a map with no cap on their number,
//    dropping only streams idle for its keep-alive time (5 minutes);
//  - its Flow::advance_sequence, the way to skip a hole by hand, never
//    recovers unless called with a segment's exact start.
//
// Contract: Segment() hands the next in-order bytes to the sink, exactly
// once each, whatever the order, repetition or overlap of the segments
// (where retransmissions overlap with different bytes, the first bytes
// captured win). A hole is given up as a gap (Sink::Gap with its size) when
//  - the bytes held beyond it exceed kMaxHeldBytes, or the segments
//    kMaxHeldSegments,
//  - the peer acknowledges data beyond it (the peer received what the
//    capture lacks, so no retransmission will come),
//  - the bytes before it are in and the segment that carried it was cut
//    short by the capture (its missing bytes will never be captured), or
//  - Finish() is called (the connection ended).
// A sequence number is placed where the 32-bit arithmetic puts it nearest
// to the next byte expected: up to 2 GiB ahead is a hole (a jump of more
// than 1 GiB is a gap like any other), behind it a repetition.
// Memory: at most kMaxHeldBytes of payload held out of order in at most
// kMaxHeldSegments segments.

#include <cstdint>
#include <map>
#include <span>
#include <vector>

namespace capture {

class TcpDirection {
 public:
  // Bytes beyond a hole held before the hole is given up: one packet's
  // worth (HL 16 + FDL 65,535 + SFRCS 2).
  static constexpr std::size_t kMaxHeldBytes = 65553;
  // Segments held beyond holes: tiny segments must not make the
  // bookkeeping outgrow the bytes.
  static constexpr std::size_t kMaxHeldSegments = 256;

  class Sink {
   public:
    virtual void Bytes(std::span<const uint8_t> bytes) = 0;
    virtual void Gap(uint64_t bytesLost) = 0;

   protected:
    ~Sink() = default;
  };

  explicit TcpDirection(Sink& sink) : sink_(&sink) {}

  // The SYN of this direction: its sequence number is the one before the
  // first byte. A SYN after bytes are known is ignored.
  void Syn(uint32_t seq);

  // A segment of this direction. Before a SYN or any byte, the first
  // segment with payload fixes the start of the stream: anything before it
  // is not in the capture. `missing`: bytes the segment carried after
  // `payload` that the capture cut off.
  void Segment(uint32_t seq, std::span<const uint8_t> payload, uint32_t missing = 0);

  // The FIN of this direction, whose sequence number follows the last
  // byte; acknowledgements of it are not counted as lost bytes.
  void Fin(uint32_t seq);

  // The peer acknowledges everything before `ack`.
  void Acknowledged(uint32_t ack);

  // Gives up every hole and hands over what was held beyond them.
  void Finish();

  bool Started() const { return started_; }
  // The FIN was seen and every byte before it was handed over.
  bool Complete() const { return finSeen_ && next_ == finOffset_ && held_.empty(); }
  std::size_t HeldBytes() const { return heldBytes_; }

 private:
  // Stream offset (0 = the first byte) of a sequence number; false when it
  // lies before the start of the stream.
  bool OffsetOf(uint32_t seq, uint64_t& offset) const;
  // Gives up every hole before `end`, handing over what is held before it.
  void GiveUpBefore(uint64_t end);
  void Hold(uint64_t offset, std::span<const uint8_t> payload);
  void Deliver(uint64_t offset, std::span<const uint8_t> payload);
  void DrainHeld();
  void GiveUpHoleBefore(uint64_t offset);

  Sink* sink_;
  bool started_ = false;
  uint32_t baseSeq_ = 0;       // sequence number of stream offset 0
  uint64_t next_ = 0;          // stream offset of the next byte expected
  bool finSeen_ = false;
  uint64_t finOffset_ = 0;
  std::map<uint64_t, std::vector<uint8_t>> held_;  // by stream offset
  std::size_t heldBytes_ = 0;
};

}  // namespace capture
