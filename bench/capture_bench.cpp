// The capture reader alone: a capture file from bench/make_capture.py,
// named by the environment variable KORVANE_CAPTURE_FILE, read to its end
// with a listener that only counts. Packets per second and bytes of
// capture per second; the application's reports come on top.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "capture/capture_reader.h"

namespace {

class CountingListener : public capture::CaptureListener {
 public:
  void OnPacket(const capture::PacketEvent& e) override {
    ++packets;
    benchmark::DoNotOptimize(e.header.PID);
  }
  void OnGap(const capture::GapEvent&) override { ++gaps; }
  void OnConnectionEnd(const capture::ConnectionEndEvent&) override {}
  void OnDamage(const std::string&) override { ++gaps; }
  void OnProgress(uint64_t, uint64_t) override {}

  uint64_t packets = 0;
  uint64_t gaps = 0;
};

void BM_ReadCaptureFile(benchmark::State& state) {
  const char* path = std::getenv("KORVANE_CAPTURE_FILE");
  if (path == nullptr) {
    state.SkipWithError("set KORVANE_CAPTURE_FILE to a capture made by bench/make_capture.py");
    return;
  }
  uint64_t packets = 0;
  for (auto _ : state) {
    CountingListener listener;
    const capture::CaptureTotals totals = capture::ReadCapture(path, {}, listener);
    if (!totals.opened || listener.gaps != 0) {
      state.SkipWithError("the capture could not be read whole");
      return;
    }
    packets += listener.packets;
  }
  state.SetItemsProcessed(static_cast<int64_t>(packets));
  state.SetBytesProcessed(static_cast<int64_t>(std::filesystem::file_size(path)) * state.iterations());
  state.counters["packets_per_file"] = static_cast<double>(packets / state.iterations());
}
BENCHMARK(BM_ReadCaptureFile)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
