#include <benchmark/benchmark.h>

#include <vector>

#include "compose/command_builder.h"
#include "compose/command_packet.h"
#include "service/record_parser.h"
#include "transport/checksum.h"

namespace {

void BM_ComposeCommandPacket(benchmark::State& state) {
  const EGTS::Subrecord_COMMAND_DATA command = BuildSelftestInterval("79001234567", 77, 1234);
  CommandCounters counters;
  EGTS::bytestream out;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ComposeCommandPacket(command, counters, out));
    benchmark::DoNotOptimize(out.bytes.data());
  }
}
BENCHMARK(BM_ComposeCommandPacket);

void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}

// An eCall packet with one TRACK_DATA subrecord of `points` points with data.
std::vector<uint8_t> TrackPacket(int points) {
  std::vector<uint8_t> srd{static_cast<uint8_t>(points), 0, 0, 0, 0};
  for (int i = 0; i < points; ++i) {
    srd.push_back(0x81);
    for (int b = 0; b < 11; ++b) srd.push_back(static_cast<uint8_t>(i + b));
  }
  std::vector<uint8_t> rd{62};
  Put16(rd, static_cast<uint16_t>(srd.size()));
  rd.insert(rd.end(), srd.begin(), srd.end());
  std::vector<uint8_t> frame;
  Put16(frame, static_cast<uint16_t>(rd.size()));
  Put16(frame, 1);
  frame.insert(frame.end(), {0x00, 10, 10});
  frame.insert(frame.end(), rd.begin(), rd.end());
  std::vector<uint8_t> packet{0x01, 0x00, 0x00, 0x0B, 0x00};
  Put16(packet, static_cast<uint16_t>(frame.size()));
  Put16(packet, 1);
  packet.push_back(1);
  packet.push_back(Crc8(packet.data(), 10));
  packet.insert(packet.end(), frame.begin(), frame.end());
  Put16(packet, Crc16(frame.data(), static_cast<uint16_t>(frame.size())));
  return packet;
}

void BM_ParseTrackData(benchmark::State& state) {
  const std::vector<uint8_t> packet = TrackPacket(static_cast<int>(state.range(0)));
  const uint16_t count = static_cast<uint16_t>(packet.size());
  for (auto _ : state) {
    TransportHeader header;
    ValidateTransportHeader(packet.data(), count, header);
    PacketHolder holder;
    benchmark::DoNotOptimize(ParseFrameData(packet.data(), count, header, holder));
  }
  state.SetBytesProcessed(state.iterations() * count);
}
BENCHMARK(BM_ParseTrackData)->Arg(10)->Arg(255);

}  // namespace
