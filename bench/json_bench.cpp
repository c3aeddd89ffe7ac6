#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "console/packet_json.h"
#include "service/record_parser.h"
#include "transport/transport_header.h"

namespace {

std::vector<uint8_t> ExamplePacket() {
  std::ifstream in(KORVANE_EXAMPLES_DIR "/ecall_track_msd.bin", std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

// The JSON line of the bundled example packet (TRACK_DATA, ACCEL_DATA,
// MSD, RAW_MSD), parsed once beforehand.
void BM_PacketJsonLine(benchmark::State& state) {
  const std::vector<uint8_t> bytes = ExamplePacket();
  PacketJson packet;
  packet.source = "file";
  const std::vector<std::pair<std::string, std::string>> extra = {
      {"file", "examples/ecall_track_msd.bin"}};
  packet.extra = extra;
  packet.time = platform::CurrentSystemTime();
  packet.bytes = bytes;
  const uint16_t count = static_cast<uint16_t>(bytes.size());
  packet.transportResult = ValidateTransportHeader(bytes.data(), count, packet.header);
  PacketHolder holder;
  packet.frameResult = ParseFrameData(bytes.data(), count, packet.header, holder);
  packet.holder = &holder;
  if (packet.transportResult != 0 || packet.frameResult != 0) {
    state.SkipWithError("the example packet did not parse");
    return;
  }
  size_t length = 0;
  for (auto _ : state) {
    const std::string line = PacketJsonLine(packet);
    length = line.size();
    benchmark::DoNotOptimize(line.data());
  }
  state.counters["bytes_per_line"] = static_cast<double>(length);
}
BENCHMARK(BM_PacketJsonLine);

}  // namespace
