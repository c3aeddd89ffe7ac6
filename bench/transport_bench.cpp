#include <benchmark/benchmark.h>

#include <vector>

#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

void BM_Crc16(benchmark::State& state) {
  std::vector<uint8_t> data(static_cast<size_t>(state.range(0)), 0x5A);
  for (auto _ : state) {
    benchmark::DoNotOptimize(Crc16(data.data(), static_cast<uint16_t>(data.size())));
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_Crc16)->Arg(64)->Arg(1024)->Arg(65535);

void BM_Crc8(benchmark::State& state) {
  std::vector<uint8_t> data(15, 0x5A);
  for (auto _ : state) benchmark::DoNotOptimize(Crc8(data.data(), 15));
}
BENCHMARK(BM_Crc8);

void BM_ValidateTransportHeader(benchmark::State& state) {
  const uint8_t packet[] = {0x01, 0x00, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0xB8};
  for (auto _ : state) {
    TransportHeader header;
    benchmark::DoNotOptimize(ValidateTransportHeader(packet, sizeof packet, header));
    benchmark::DoNotOptimize(header);
  }
}
BENCHMARK(BM_ValidateTransportHeader);

}  // namespace
