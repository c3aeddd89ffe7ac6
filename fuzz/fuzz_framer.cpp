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

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "server/packet_framer.h"
#include "transport/checksum.h"
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

// Feeds `stream` through a fresh framer; returns the packets and parts in
// order, checking the buffer bounds and that each one is the next slice of
// the stream. Stops after a part, whose code goes to partCode (0: none):
// the connection ends there.
std::vector<Bytes> Frame(const Bytes& stream, Cutter& cutter, uint8_t& partCode) {
  PacketFramer framer;
  const uint8_t* const base = framer.ReceivePosition();
  std::vector<Bytes> out;
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
    std::memcpy(position, stream.data() + received, count);
    position[count] = 0;
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
    handedOut += bytes.size();
    out.emplace_back(bytes.begin(), bytes.end());
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

void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

// The byte at `last` that makes Crc8 over bytes 0..last equal `target`
// (register = table[register ^ byte] is a bijection in the byte).
void ForceCrc8(Bytes& header, size_t last, uint8_t target) {
  for (unsigned value = 0; value < 256; ++value) {
    header[last] = static_cast<uint8_t>(value);
    if (Crc8(header.data(), static_cast<uint8_t>(last + 1)) == target) return;
  }
  std::abort();
}

// A header of HL bytes: HL and the routing flag as given, HCS where the flag
// puts it, sound in every combination. HL 11 with the flag set takes its
// HCS from the stream byte at offset 15, beyond the header: MakeStream
// fixes that once the stream is known.
Bytes MakeHeader(FuzzedDataProvider& input, uint8_t hl, bool rte, uint16_t fdl) {
  Bytes h{0x01, input.ConsumeIntegral<uint8_t>(),
          static_cast<uint8_t>((input.ConsumeIntegral<uint8_t>() & 0x1F) | (rte ? 0x20 : 0)), hl,
          input.ConsumeIntegral<uint8_t>()};
  PutU16(h, fdl);
  PutU16(h, input.ConsumeIntegral<uint16_t>());
  h.push_back(input.ConsumeIntegral<uint8_t>());
  for (int i = 10; i < 16; ++i) h.push_back(input.ConsumeIntegral<uint8_t>());
  if (hl == kShortHeaderLength && !rte) {
    h[10] = Crc8(h.data(), 10);
  } else if (hl == kRoutedHeaderLength && rte) {
    h[15] = Crc8(h.data(), 15);
  } else if (hl == kRoutedHeaderLength) {
    ForceCrc8(h, 14, h[10]);  // HCS at 10, inside the 15 bytes it covers
  }
  h.resize(hl);
  return h;
}

struct Generated {
  Bytes stream;
  std::vector<Bytes> packets;
  Bytes tooLong;  // header of a final packet too long to hold, if any
};

Generated MakeStream(FuzzedDataProvider& input) {
  Generated g;
  std::vector<std::pair<size_t, size_t>> shortRouted;  // HL 11 routed: stream offset, packet index
  if (input.ConsumeIntegralInRange<uint8_t>(0, 3) == 0) {
    const bool routed = input.ConsumeBool();
    const uint8_t hl = routed ? kRoutedHeaderLength : kShortHeaderLength;
    const size_t fdl = input.ConsumeIntegralInRange<size_t>(PacketFramer::kMaxPacketLength - 1 - hl, 0xFFFF);
    g.tooLong = MakeHeader(input, hl, routed, static_cast<uint16_t>(fdl));
  }
  auto add = [&g](const Bytes& packet) {
    g.packets.push_back(packet);
    g.stream.insert(g.stream.end(), packet.begin(), packet.end());
  };
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
    Bytes p = MakeHeader(input, hl, rte, static_cast<uint16_t>(fdl));
    if (hl == kShortHeaderLength && rte) shortRouted.emplace_back(g.stream.size(), g.packets.size());
    if (fdl != 0) {
      Bytes data = input.ConsumeBytes<uint8_t>(fdl);
      for (size_t i = data.size(); i < fdl; ++i) data.push_back(static_cast<uint8_t>(i * 31));
      p.insert(p.end(), data.begin(), data.end());
      PutU16(p, Crc16(data.data(), static_cast<uint16_t>(fdl)));
    }
    add(p);
  }
  if (!g.tooLong.empty()) {
    g.stream.insert(g.stream.end(), g.tooLong.begin(), g.tooLong.end());
    g.stream.resize(g.stream.size() + 100, 0x5A);  // must stay unread
  } else if (!shortRouted.empty() && shortRouted.back().first + 16 > g.stream.size()) {
    Bytes last = {0x01, 0x00, 0x00, kShortHeaderLength, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
    last.push_back(Crc8(last.data(), 10));
    add(last);
  }
  // Each short routed header: its PT makes the header's Crc8 equal the
  // stream byte at offset 15. That byte is never a PT byte of another packet.
  for (const auto& [offset, index] : shortRouted) {
    Bytes header(g.stream.begin() + offset, g.stream.begin() + offset + 10);
    ForceCrc8(header, 9, g.stream[offset + 15]);
    g.stream[offset + 9] = header[9];
    g.packets[index][9] = header[9];
  }
  return g;
}

void RawStream(FuzzedDataProvider& input, Cutter& cutter) {
  const Bytes stream = input.ConsumeRemainingBytes<uint8_t>();
  uint8_t partCode = 0;
  Frame(stream, cutter, partCode);
}

void ValidPackets(FuzzedDataProvider& input, Cutter& cutter) {
  const Generated g = MakeStream(input);
  std::vector<Bytes> expected = g.packets;
  if (!g.tooLong.empty()) expected.push_back(g.tooLong);
  uint8_t partCode = 0;
  Check(Frame(g.stream, cutter, partCode) == expected);
  Check(partCode == (g.tooLong.empty() ? 0 : EGTS::EGTS_PC_INVDATALEN));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Routed packets count as addressed to this platform: none has expired.
  TPAddress = 0;
  if (size < 5) return 0;
  uint32_t seed = 0;
  std::memcpy(&seed, data + 1, sizeof seed);
  Cutter cutter(seed);
  FuzzedDataProvider input(data + 5, size - 5);
  if (data[0] % 2 == 0) {
    RawStream(input, cutter);
  } else {
    ValidPackets(input, cutter);
  }
  return 0;
}
