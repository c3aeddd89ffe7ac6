#pragma once
// EgtsCutter: cuts the in-order bytes of one direction of a captured
// connection into EGTS packets with the PacketFramer that live connections
// use, and finds its way back after damage.
//
// Framing or hunting: a framer header failure hands out the part, as on a
// live connection, but the analysis goes on: the cutter hunts for the next
// offset where a sound header begins, starting one byte after the failed
// part's first byte (the part may hold the start of a sound packet). A gap
// drops the unfinished packet and hunts too. A direction whose start is not
// in the capture hunts from its first byte.
//
// The framer is borrowed from a FramerPool only while it holds bytes, so an
// idle direction costs no buffer. Besides the framer the cutter holds at
// most 15 bytes between calls.

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "transport/packet_framer.h"
#include "transport/transport_header.h"

namespace capture {

// Framers lent to cutters. Keeps a few returned ones for reuse.
class FramerPool {
 public:
  std::unique_ptr<PacketFramer> Take();
  void Give(std::unique_ptr<PacketFramer> framer);

 private:
  static constexpr std::size_t kKept = 16;
  std::vector<std::unique_ptr<PacketFramer>> idle_;
};

enum class HeaderProbe { kSound, kNotSound, kNeedMore };

// Whether `bytes` begin with a transport header the framer would accept as
// the start of a packet it can hold; kNeedMore when that depends on bytes
// not given yet (fewer than 11, or fewer than 16 for a routed header).
HeaderProbe ProbeHeader(std::span<const uint8_t> bytes);

class EgtsCutter {
 public:
  class Sink {
   public:
    // whole: a packet (code 0); otherwise a part whose header failed.
    virtual void Cut(std::span<const uint8_t> bytes, const TransportHeader& header, uint8_t code,
                     bool whole) = 0;
    // A gap took the rest of a packet whose header was sound.
    virtual void PacketCutShort() {}

   protected:
    ~Sink() = default;
  };

  // atPacket: the first byte begins a packet; otherwise hunt for one.
  EgtsCutter(Sink& sink, FramerPool& pool, bool atPacket);
  ~EgtsCutter();
  EgtsCutter(const EgtsCutter&) = delete;
  EgtsCutter& operator=(const EgtsCutter&) = delete;

  // The next bytes of the direction, in order.
  void Bytes(std::span<const uint8_t> bytes);
  // Bytes were lost before the next ones.
  void Gap();
  // The direction ended: what is still held is counted, not cut.
  void Finish();

  uint64_t Skipped() const { return skipped_; }
  uint64_t Unframed() const { return unframed_; }

 private:
  std::size_t Step(std::span<const uint8_t> bytes);
  std::size_t Frame(std::span<const uint8_t> bytes);
  std::size_t Hunt(std::span<const uint8_t> bytes);
  void ReturnIdleFramer();

  Sink& sink_;
  FramerPool& pool_;
  std::unique_ptr<PacketFramer> framer_;
  bool hunting_;
  std::size_t inFramer_ = 0;       // bytes the framer holds of an unfinished packet
  std::vector<uint8_t> pending_;   // not yet framed or scanned
  std::vector<uint8_t> retake_;    // a failed part after its first byte, to scan again
  uint64_t skipped_ = 0;
  uint64_t unframed_ = 0;
};

}  // namespace capture
