#include "transport/packet_framer.h"

#include <cstring>
#include <stdexcept>

#include "transport/result_codes.h"
#include "util/text.h"

PacketFramer::PacketFramer() : buffer_(kBufferSize, 0) {}

uint8_t* PacketFramer::ReceivePosition() {
  if (handedOut_ != 0) StartNextPacket();
  return buffer_.data() + filled_;
}

std::size_t PacketFramer::Wanted() const {
  // Bytes kept after a handed-out packet count towards the next header.
  if (handedOut_ != 0) return kShortHeaderLength - (filled_ - handedOut_);
  return target_ - filled_;
}

PacketFramer::Outcome PacketFramer::Received(std::size_t count) {
  if (count > Wanted()) throw std::length_error("PacketFramer: more bytes received than wanted");
  if (handedOut_ != 0) StartNextPacket();
  filled_ += count;
  if (filled_ < target_) return Outcome::kNeedMore;
  if (!headerSound_) return CheckHeader();
  return HandOut(filled_, Outcome::kPacket);
}

void PacketFramer::Reset() {
  filled_ = 0;
  target_ = kShortHeaderLength;
  headerSound_ = false;
  handedOut_ = 0;
  header_ = TransportHeader{};
  code_ = 0;
}

std::span<const uint8_t> PacketFramer::Bytes() const {
  return {buffer_.data(), handedOut_};
}

PacketFramer::Outcome PacketFramer::CheckHeader() {
  header_ = TransportHeader{};
  code_ = ValidateTransportHeader(buffer_.data(), static_cast<uint16_t>(filled_), header_);
  if (code_ != EGTS::EGTS_PC_OK || filled_ < header_.HL) {
    if (filled_ < kRoutedHeaderLength) {
      target_ = kRoutedHeaderLength;
      return Outcome::kNeedMore;
    }
    return HandOut(filled_, Outcome::kHeaderFailed);
  }
  // Computed wide: HL + FDL + 2 may exceed 16 bits.
  const std::size_t length = header_.HL + (header_.FDL != 0 ? header_.FDL + std::size_t{2} : 0);
  if (length > kMaxPacketLength) {
    code_ = EGTS::EGTS_PC_INVDATALEN;
    return HandOut(filled_, Outcome::kHeaderFailed);
  }
  headerSound_ = true;
  // An HL 11 header checked on 16 bytes may announce fewer than were received.
  if (length <= filled_) return HandOut(length, Outcome::kPacket);
  target_ = length;
  return Outcome::kNeedMore;
}

PacketFramer::Outcome PacketFramer::HandOut(std::size_t length, Outcome outcome) {
  handedOut_ = length;
  return outcome;
}

void PacketFramer::StartNextPacket() {
  const std::size_t kept = filled_ - handedOut_;
  std::memmove(buffer_.data(), buffer_.data() + handedOut_, kept);
  filled_ = kept;
  target_ = kShortHeaderLength;
  headerSound_ = false;
  handedOut_ = 0;
}
