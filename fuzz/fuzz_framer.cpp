// libFuzzer target: the stream framing of a terminal connection. Aborts on
// the first violation.
//
// The first input byte chooses the mode; the next four seed the generator
// that cuts the stream into receives:
//   even: the rest is a raw stream. The framer must never ask for more than
//         its buffer holds (keeping the receive's spare byte), and every
//         packet or part must be the next bytes of the stream, none of them
//         beyond what was received;
//   odd:  the rest describes packets with sound headers (HL 11 or 16, the
//         routing flag set or not, in every combination), FDL up to the
//         largest that fits, and optionally a final header announcing more
//         than the buffer holds; exactly those packets must come out, in
//         order, whole, then that header as a part with code 139.
//
// Speed: one framer serves all inputs (see ReusedFramer), the generated
// stream reuses its storage, packets are compared as slices of it, and
// large frame data is filler whose check sums are known in advance. In
// either mode, the framer reading a buffer byte it does not hold from this
// input's stream is reported by AddressSanitizer.

#include <fuzzer/FuzzedDataProvider.h>
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <span>
#include <vector>

#include "transport/checksum.h"
#include "transport/packet_framer.h"
#include "transport/result_codes.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Outcome = PacketFramer::Outcome;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Receive sizes: often all that is wanted, else anything from 1 up.
class Cutter {
 public:
  explicit Cutter(uint32_t seed) : random_(seed) {}
  size_t Next(size_t wanted) {
    if (random_() % 3 == 0) return wanted;
    return 1 + random_() % wanted;
  }

 private:
  std::minstd_rand random_;
};

// The framer of every input, so that no input pays for a 64 KiB allocation
// and fill. Start() resets it; only the bytes it holds are readable, the rest of its buffer
// (bytes of earlier inputs, bytes already handed out, the receive's spare
// zero) is poisoned, so stale bytes can never decide an outcome unnoticed.
class ReusedFramer {
 public:
  ReusedFramer() : base_(framer_.ReceivePosition()) {
    ASAN_POISON_MEMORY_REGION(base_, PacketFramer::kBufferSize);
  }
  ~ReusedFramer() { ASAN_UNPOISON_MEMORY_REGION(base_, PacketFramer::kBufferSize); }
  ReusedFramer(const ReusedFramer&) = delete;
  ReusedFramer& operator=(const ReusedFramer&) = delete;

  PacketFramer& Start() {
    framer_.Reset();
    ASAN_POISON_MEMORY_REGION(base_, readableEnd_ - base_);
    readableEnd_ = base_;
    return framer_;
  }

  // Stores `count` bytes at `position` (from the framer's ReceivePosition(),
  // with room checked) and the receive's zero after them. Afterwards the
  // bytes from the start of the buffer to the last one stored are readable,
  // nothing else.
  void Store(uint8_t* position, const uint8_t* bytes, size_t count) {
    if (position < readableEnd_) ASAN_POISON_MEMORY_REGION(position, readableEnd_ - position);
    ASAN_UNPOISON_MEMORY_REGION(position, count + 1);
    std::memcpy(position, bytes, count);
    position[count] = 0;
    ASAN_POISON_MEMORY_REGION(position + count, 1);
    readableEnd_ = position + count;
  }

 private:
  PacketFramer framer_;
  uint8_t* const base_;
  uint8_t* readableEnd_ = base_ + PacketFramer::kBufferSize;
};

// A packet or part as a slice of the stream.
struct Piece {
  size_t offset;
  size_t length;
  bool operator==(const Piece&) const = default;
};

// Feeds `stream` through the reset framer; returns the packets and parts in
// order (valid until the next call), checking the buffer bounds and that each one is the next slice of
// the stream (so equal pieces mean equal bytes). Stops after a part, whose
// code goes to partCode (0: none): the connection ends there.
const std::vector<Piece>& Frame(std::span<const uint8_t> stream, Cutter& cutter, uint8_t& partCode) {
  static ReusedFramer reused;
  static std::vector<Piece> out;
  PacketFramer& framer = reused.Start();
  const uint8_t* const base = framer.ReceivePosition();
  out.clear();
  size_t received = 0;
  size_t handedOut = 0;
  partCode = 0;
  while (received < stream.size()) {
    uint8_t* position = framer.ReceivePosition();
    const size_t wanted = framer.Wanted();
    Check(wanted > 0);
    Check(position >= base);
    Check(static_cast<size_t>(position - base) == received - handedOut);  // nothing lost
    Check(static_cast<size_t>(position - base) + wanted < PacketFramer::kBufferSize);
    const size_t count = std::min(cutter.Next(wanted), stream.size() - received);
    reused.Store(position, stream.data() + received, count);
    received += count;

    const Outcome outcome = framer.Received(count);
    const auto bytes = framer.Bytes();
    if (outcome == Outcome::kNeedMore) {
      Check(bytes.empty());
      continue;
    }
    Check(bytes.data() == base);
    Check(handedOut + bytes.size() <= received);
    Check(std::memcmp(bytes.data(), stream.data() + handedOut, bytes.size()) == 0);
    out.push_back({handedOut, bytes.size()});
    handedOut += bytes.size();
    if (outcome == Outcome::kPacket) {
      const TransportHeader& header = framer.Header();
      Check(framer.ResultCode() == 0);
      Check(bytes.size() == header.HL + (header.FDL ? header.FDL + 2u : 0u));
    } else {
      Check(framer.ResultCode() != 0);
      Check(bytes.size() == kShortHeaderLength || bytes.size() == kRoutedHeaderLength);
      partCode = framer.ResultCode();
      break;
    }
  }
  return out;
}

void PutU16(uint8_t* at, uint16_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>(value >> 8);
}

// The byte at `last` that makes Crc8 over bytes 0..last equal `target`.
// With R the register step (register = R[register ^ byte], a bijection in
// the byte), Crc8 of bytes 0..last is R[Crc8(0..last-1) ^ byte] and Crc8 of
// the single byte x is R[0xFF ^ x]; so the byte is Crc8(0..last-1) ^ 0xFF ^ x
// for the x whose single-byte Crc8 is `target`.
void ForceCrc8(uint8_t* header, size_t last, uint8_t target) {
  static const auto singleByteOf = [] {
    std::array<uint8_t, 256> inverse{};
    for (unsigned x = 0; x < 256; ++x) {
      const uint8_t byte = static_cast<uint8_t>(x);
      inverse[Crc8(&byte, 1)] = byte;
    }
    return inverse;
  }();
  const uint8_t before = Crc8(header, static_cast<uint8_t>(last));
  header[last] = static_cast<uint8_t>(before ^ 0xFF ^ singleByteOf[target]);
  Check(Crc8(header, static_cast<uint8_t>(last + 1)) == target);
}

// Appends a header of HL bytes: HL and the routing flag as given, HCS where
// the flag puts it, sound in every combination. HL 11 with the flag set
// takes its HCS from the stream byte at offset 15, beyond the header:
// MakeStream fixes that once the stream is known.
void AppendHeader(Bytes& out, FuzzedDataProvider& input, uint8_t hl, bool rte, uint16_t fdl) {
  std::array<uint8_t, kRoutedHeaderLength> h{};
  h[0] = 0x01;
  h[1] = input.ConsumeIntegral<uint8_t>();
  h[2] = static_cast<uint8_t>((input.ConsumeIntegral<uint8_t>() & 0x1F) | (rte ? 0x20 : 0));
  h[3] = hl;
  h[4] = input.ConsumeIntegral<uint8_t>();
  PutU16(&h[5], fdl);
  PutU16(&h[7], input.ConsumeIntegral<uint16_t>());
  for (size_t i = 9; i < h.size(); ++i) h[i] = input.ConsumeIntegral<uint8_t>();
  if (hl == kShortHeaderLength && !rte) {
    h[10] = Crc8(h.data(), 10);
  } else if (hl == kRoutedHeaderLength && rte) {
    h[15] = Crc8(h.data(), 15);
  } else if (hl == kRoutedHeaderLength) {
    ForceCrc8(h.data(), 14, h[10]);  // HCS at 10, inside the 15 bytes it covers
  }
  out.insert(out.end(), h.begin(), h.begin() + hl);
}

// Frame data beyond the input's bytes: byte i is i * 31.
const uint8_t* Filler() {
  static const auto filler = [] {
    std::array<uint8_t, PacketFramer::kBufferSize> bytes{};
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
    return bytes;
  }();
  return filler.data();
}

// Crc16 of the first n filler bytes, for every n. Crc16 has no final step,
// so its value is the register after the last byte; one more byte b takes
// register r to (r << 8) ^ S[(r >> 8) ^ b], and S[x] is read off the Crc16
// of the single byte 0xFF ^ x (register 0xFFFF before it). Checked against
// Crc16 over the whole filler.
uint16_t FillerCrc16(size_t length) {
  static const auto known = [] {
    std::array<uint16_t, 256> step{};
    for (unsigned x = 0; x < 256; ++x) {
      const uint8_t byte = static_cast<uint8_t>(0xFF ^ x);
      step[x] = static_cast<uint16_t>(Crc16(&byte, 1) ^ 0xFF00);
    }
    std::vector<uint16_t> registers(PacketFramer::kBufferSize);
    registers[0] = 0xFFFF;
    for (size_t n = 1; n < registers.size(); ++n) {
      const uint16_t r = registers[n - 1];
      registers[n] = static_cast<uint16_t>((r << 8) ^ step[(r >> 8) ^ Filler()[n - 1]]);
    }
    const size_t last = registers.size() - 1;
    Check(registers[last] == Crc16(Filler(), static_cast<uint16_t>(last)));
    return registers;
  }();
  return known[length];
}

// Appends `fdl` bytes of frame data and their SFRCS. Small frame data starts
// with the input's bytes, the filler completing it; large frame data is the
// filler alone, so its check sum costs nothing per input.
void AppendFrameData(Bytes& out, FuzzedDataProvider& input, size_t fdl, bool large) {
  const size_t start = out.size();
  out.resize(start + fdl + 2);
  uint8_t* data = out.data() + start;
  const size_t given = large ? 0 : input.ConsumeData(data, fdl);
  std::memcpy(data + given, Filler() + given, fdl - given);
  PutU16(data + fdl, given == 0 ? FillerCrc16(fdl) : Crc16(data, static_cast<uint16_t>(fdl)));
}

// One generated stream; its storage is kept from input to input.
struct Generated {
  Bytes stream;
  std::vector<Piece> packets;  // then the too-long header, if any
  bool tooLong = false;
};

void MakeStream(FuzzedDataProvider& input, Generated& g) {
  g.stream.clear();
  g.packets.clear();
  Bytes tooLong;  // header of a final packet too long to hold, if any
  std::vector<size_t> shortRouted;  // offsets of HL 11 routed headers
  if (input.ConsumeIntegralInRange<uint8_t>(0, 3) == 0) {
    const bool routed = input.ConsumeBool();
    const uint8_t hl = routed ? kRoutedHeaderLength : kShortHeaderLength;
    const size_t fdl = input.ConsumeIntegralInRange<size_t>(PacketFramer::kMaxPacketLength - 1 - hl, 0xFFFF);
    AppendHeader(tooLong, input, hl, routed, static_cast<uint16_t>(fdl));
  }
  while (input.remaining_bytes() > 0 && g.packets.size() < 64 && g.stream.size() < (1u << 18)) {
    const uint8_t kind = input.ConsumeIntegralInRange<uint8_t>(0, 3);
    const uint8_t hl = (kind & 1) ? kRoutedHeaderLength : kShortHeaderLength;
    const bool rte = (kind & 2) != 0;
    const size_t room = PacketFramer::kMaxPacketLength - 2 - hl;
    // Mostly small packets; now and then a large one, often the largest.
    size_t fdl = input.ConsumeIntegralInRange<size_t>(0, 300);
    const uint8_t size = input.ConsumeIntegral<uint8_t>();
    if (size < 8) fdl = input.ConsumeIntegralInRange<size_t>(0, room);
    if (size < 4) fdl = room;
    const size_t offset = g.stream.size();
    if (hl == kShortHeaderLength && rte) shortRouted.push_back(offset);
    AppendHeader(g.stream, input, hl, rte, static_cast<uint16_t>(fdl));
    if (fdl != 0) AppendFrameData(g.stream, input, fdl, size < 8);
    g.packets.push_back({offset, g.stream.size() - offset});
  }
  auto add = [&g](const Bytes& packet) {
    g.packets.push_back({g.stream.size(), packet.size()});
    g.stream.insert(g.stream.end(), packet.begin(), packet.end());
  };
  g.tooLong = !tooLong.empty();
  if (g.tooLong) {
    add(tooLong);
    g.stream.resize(g.stream.size() + 100, 0x5A);  // must stay unread
  } else if (!shortRouted.empty() && shortRouted.back() + 16 > g.stream.size()) {
    Bytes last = {0x01, 0x00, 0x00, kShortHeaderLength, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
    last.push_back(Crc8(last.data(), 10));
    add(last);
  }
  // Each short routed header: its PT makes the header's Crc8 equal the
  // stream byte at offset 15. That byte is never a PT byte of another packet.
  for (const size_t offset : shortRouted) ForceCrc8(&g.stream[offset], 9, g.stream[offset + 15]);
}

void ValidPackets(FuzzedDataProvider& input, Cutter& cutter) {
  static Generated g;
  MakeStream(input, g);
  uint8_t partCode = 0;
  Check(Frame(g.stream, cutter, partCode) == g.packets);
  Check(partCode == (g.tooLong ? EGTS::EGTS_PC_INVDATALEN : 0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Routed packets count as addressed to this platform: none has expired.
  TPAddress = 0;
  if (size < 5) return 0;
  uint32_t seed = 0;
  std::memcpy(&seed, data + 1, sizeof seed);
  Cutter cutter(seed);
  if (data[0] % 2 == 0) {
    uint8_t partCode = 0;
    Frame({data + 5, size - 5}, cutter, partCode);
  } else {
    FuzzedDataProvider input(data + 5, size - 5);
    ValidPackets(input, cutter);
  }
  return 0;
}
