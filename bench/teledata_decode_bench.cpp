// Decoding alone with the standard's subrecords (-x), no report: a set of
// TELEDATA packets shaped as terminals send them (POS_DATA with altitude and
// SRCD, EXT_POS_DATA, AD_SENSORS_DATA, COUNTERS_DATA, STATE_DATA,
// LIQUID_LEVEL_SENSOR, LOOPIN_DATA; one to three records a packet, as a black
// box sends), each with its own values, validated and parsed one after the
// other. Items processed are packets.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "service/record_parser.h"
#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put(Bytes& out, uint32_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void Subrecord(Bytes& out, uint8_t srt, const Bytes& data) {
  out.push_back(srt);
  Put(out, static_cast<uint32_t>(data.size()), 2);
  out.insert(out.end(), data.begin(), data.end());
}

Bytes PosData(uint32_t n) {
  Bytes d;
  Put(d, 500000000 + n * 10, 4);                 // NTM
  Put(d, 0x24D5A000 + n * 37, 4);                // LAT
  Put(d, 0x4F1E3000 + n * 53, 4);                // LONG
  d.push_back(0x93);                             // ALTE, MV, FIX, VLD
  Put(d, (n * 7) % 1200, 2);                     // SPD
  d.push_back(static_cast<uint8_t>(n * 3));      // DIR
  Put(d, 120000 + n, 3);                         // ODM
  d.push_back(static_cast<uint8_t>(n & 0x0F));   // DIN
  d.push_back(0);                                // SRC
  Put(d, 150 + n % 20, 3);                       // ALT
  Put(d, 0, 2);                                  // SRCD
  return d;
}

Bytes ExtPosData(uint32_t n) {
  Bytes d{0x1F};
  Put(d, 90 + n % 10, 2);
  Put(d, 80 + n % 7, 2);
  Put(d, 120 + n % 5, 2);
  d.push_back(static_cast<uint8_t>(6 + n % 8));
  Put(d, 3, 2);
  return d;
}

Bytes AdSensors(uint32_t n) {
  Bytes d{0x01, static_cast<uint8_t>(n), 0x07, static_cast<uint8_t>(n >> 3)};
  for (uint32_t i = 0; i < 3; ++i) Put(d, 12000 + n * (i + 1), 3);
  return d;
}

Bytes Counters(uint32_t n) {
  Bytes d{0x03};
  Put(d, n, 3);
  Put(d, 5000 + n * 2, 3);
  return d;
}

Bytes StateData(uint32_t n) {
  return Bytes{2, static_cast<uint8_t>(120 + n % 20), 41, 40, 0x04};
}

Bytes LiquidLevel(uint32_t n) {
  Bytes d{0x11};
  Put(d, 1, 2);
  Put(d, 4000 + n % 100, 4);
  return d;
}

Bytes LoopIn(uint32_t n) { return Bytes{0x05, static_cast<uint8_t>((n & 1) | 0x10)}; }

void AppendRecord(Bytes& area, uint16_t rn, uint32_t n, bool full) {
  Bytes data;
  Subrecord(data, 16, PosData(n));
  Subrecord(data, 17, ExtPosData(n));
  Subrecord(data, 21, StateData(n));
  if (full) {
    Subrecord(data, 18, AdSensors(n));
    Subrecord(data, 19, Counters(n));
    Subrecord(data, 27, LiquidLevel(n));
    Subrecord(data, 22, LoopIn(n));
  }
  Put(area, static_cast<uint32_t>(data.size()), 2);  // RL
  Put(area, rn, 2);                                  // RN
  area.push_back(0x05);                              // RFL: OBFE, TMFE
  Put(area, 1133, 4);                                // OID
  Put(area, 500000000 + n * 10, 4);                  // TM
  area.push_back(2);                                 // SST
  area.push_back(2);                                 // RST
  area.insert(area.end(), data.begin(), data.end());
}

Bytes TeledataPacket(uint16_t pid) {
  Bytes area;
  const unsigned records = 1 + pid % 3;
  for (unsigned r = 0; r < records; ++r) {
    AppendRecord(area, static_cast<uint16_t>(pid * 3 + r), pid * 3u + r, r == 0 || pid % 2 == 0);
  }
  Bytes packet{1, 0, 0, 11, 0};
  Put(packet, static_cast<uint32_t>(area.size()), 2);  // FDL
  Put(packet, pid, 2);                                 // PID
  packet.push_back(1);                                 // PT APPDATA
  packet.push_back(Crc8(packet.data(), 10));
  packet.insert(packet.end(), area.begin(), area.end());
  Put(packet, Crc16(area.data(), static_cast<uint16_t>(area.size())), 2);
  return packet;
}

void BM_DecodeTeledataPackets(benchmark::State& state) {
  constexpr uint16_t kPackets = 1000;
  std::vector<Bytes> packets;
  for (uint16_t pid = 0; pid < kPackets; ++pid) packets.push_back(TeledataPacket(pid));
  for (const Bytes& packet : packets) {
    TransportHeader header;
    PacketHolder holder;
    const auto count = static_cast<uint16_t>(packet.size());
    if (ValidateTransportHeader(packet.data(), count, header) != 0 ||
        ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard) != 0 ||
        holder.packet->records.empty() || holder.packet->records.back().subrecords.empty() ||
        !holder.packet->records.back().subrecords.back().object) {
      state.SkipWithError("a composed packet did not decode whole");
      return;
    }
  }
  for (auto _ : state) {
    for (const Bytes& packet : packets) {
      const auto count = static_cast<uint16_t>(packet.size());
      TransportHeader header;
      ValidateTransportHeader(packet.data(), count, header);
      PacketHolder holder;
      benchmark::DoNotOptimize(
          ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard));
      benchmark::DoNotOptimize(holder.packet.get());
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kPackets);
}
BENCHMARK(BM_DecodeTeledataPackets)->Unit(benchmark::kMicrosecond);

}  // namespace
