#pragma once
// PacketFramer: cuts the byte stream of one terminal connection into EGTS
// transport packets. It does no I/O: the caller receives up to Wanted()
// bytes at ReceivePosition() and reports them with Received().
//
// A packet is framed in stages; the header is validated only when a stage
// is full, so bytes not yet received take no part in the check:
//   11 bytes (short header): validate. A failure, or a sound header longer
//     than 11 bytes, asks for 16 (header with routing fields).
//   16 bytes: validate again. A header that still fails ends the packet as
//     a part: kHeaderFailed with the 16 bytes and the result code.
//   A sound header asks for HL + FDL + 2 bytes in all (HL alone when FDL is
//     0); once they are in, kPacket.
// Only what the current stage needs is asked for, so nothing of the next
// packet is read early, with one exception: a header with HL 11 but the
// routing flag set is checked on 16 bytes and may announce a packet of 11
// to 15 bytes. The bytes received beyond it are kept, in order, as the
// start of the next packet.
//
// A sound header announcing more than kMaxPacketLength bytes cannot be
// held; it ends the packet as a part too: kHeaderFailed with the header
// bytes received (11 or 16) and EGTS_PC_INVDATALEN. Its FDL cannot be
// trusted, so there is no position to resume framing from.
//
// One buffer of kBufferSize bytes, allocated once; a packet always starts
// at offset 0. At least one byte after the received bytes stays free for
// the zero that the receive stores there.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "transport/transport_header.h"

class PacketFramer {
 public:
  static constexpr std::size_t kBufferSize = 65536;
  static constexpr std::size_t kMaxPacketLength = kBufferSize - 1;

  enum class Outcome {
    kNeedMore,      // receive Wanted() more bytes
    kPacket,        // Bytes() is one whole packet with a sound header
    kHeaderFailed,  // Bytes() is a part that could not be framed; the stream is lost
  };

  PacketFramer();

  // Forgets every byte held and any packet or part handed out: the framer
  // is as after construction, with the buffer kept (its old bytes are
  // never read again). For a new stream over the same framer.
  void Reset();

  // Where the next bytes go, and how many are wanted now (always > 0;
  // ReceivePosition() + Wanted() is below the end of the buffer).
  uint8_t* ReceivePosition();
  std::size_t Wanted() const;

  // `count` bytes (at most Wanted()) were stored at ReceivePosition().
  // Throws std::length_error for a larger count, before changing anything.
  Outcome Received(std::size_t count);

  // After kPacket or kHeaderFailed, until the next ReceivePosition() or
  // Received(): the packet or part, its decoded header and the result code
  // of its header check (EGTS_PC_INVDATALEN for a packet too long to hold).
  // Bytes() is empty at other times.
  std::span<const uint8_t> Bytes() const;
  const TransportHeader& Header() const { return header_; }
  uint8_t ResultCode() const { return code_; }
  // The header of the packet being framed was found sound; its rest is
  // awaited.
  bool HeaderSound() const { return headerSound_; }

 private:
  Outcome CheckHeader();
  Outcome HandOut(std::size_t length, Outcome outcome);
  void StartNextPacket();

  std::vector<uint8_t> buffer_;
  std::size_t filled_ = 0;            // bytes held from offset 0
  std::size_t target_ = kShortHeaderLength;  // filled_ that completes the stage
  bool headerSound_ = false;          // the stage is the packet's rest
  std::size_t handedOut_ = 0;         // length of the packet or part handed out
  TransportHeader header_;
  uint8_t code_ = 0;
};
