// The tracks of -g: a million positions of ten units recorded (extracted
// where they come as packets, checked per unit, stored) and written as
// GeoJSON or GPX; positions per second of the whole run and the size of the
// file. The file goes to a temporary directory and is removed.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "service/record_parser.h"
#include "track/position_extraction.h"
#include "track/track_recorder.h"
#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

constexpr int64_t kPositions = 1'000'000;
constexpr int64_t kUnits = 10;

// Unit i % 10 drives north at 40 km/h, one fix a second.
TrackPoint PositionNumber(int64_t i) {
  const int64_t unit = i % kUnits;
  const int64_t second = i / kUnits;
  TrackPoint point;
  point.unit = "OID " + std::to_string(100 + unit);
  point.timeMs = (int64_t{1798761600} + second) * 1000;
  point.latitude = 50 + 0.0001 * static_cast<double>(second % 300000);
  point.longitude = 10 + 0.5 * static_cast<double>(unit);
  point.speedKmh = 40;
  point.headingDeg = 0;
  point.altitudeM = 120;
  point.satellites = 9;
  point.hdop = 0.9;
  point.PID = static_cast<uint16_t>(second);
  point.RN = static_cast<uint16_t>(second);
  return point;
}

class ScratchFile {
 public:
  explicit ScratchFile(const std::string& name)
      : dir_(std::filesystem::temp_directory_path() / "korvane_track_bench") {
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / name).string();
  }
  ~ScratchFile() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  const std::string& Path() const { return path_; }

 private:
  std::filesystem::path dir_;
  std::string path_;
};

void RunExport(benchmark::State& state, const char* name) {
  ScratchFile file(name);
  uint64_t bytes = 0;
  for (auto _ : state) {
    TrackSettings settings;
    settings.file = file.Path();
    std::string error;
    auto recorder = TrackRecorder::Open(settings, error);
    if (!recorder) {
      state.SkipWithError(error.c_str());
      return;
    }
    for (int64_t i = 0; i < kPositions; ++i) recorder->Add(PositionNumber(i));
    const TrackResult& result = recorder->Finish();
    if (!result.written) {
      state.SkipWithError(result.error.c_str());
      return;
    }
    bytes = result.bytes;
  }
  state.SetItemsProcessed(state.iterations() * kPositions);
  state.counters["file_bytes"] = static_cast<double>(bytes);
  state.counters["bytes_per_position"] = static_cast<double>(bytes) / kPositions;
}

void BM_TrackExportGeoJson(benchmark::State& state) { RunExport(state, "tracks.geojson"); }
void BM_TrackExportGpx(benchmark::State& state) { RunExport(state, "tracks.gpx"); }
BENCHMARK(BM_TrackExportGeoJson)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_TrackExportGpx)->Unit(benchmark::kMillisecond)->Iterations(3);

// What a packet source adds per packet: the positions of a parsed TELEDATA
// packet (POS_DATA and EXT_POS_DATA).
void BM_TrackPositionsOfPacket(benchmark::State& state) {
  const uint8_t packet[] = {
      0x01, 0x00, 0x00, 0x0B, 0x00, 0x2A, 0x00, 0x01, 0x00, 0x01, 0x00,  // header, HCS below
      0x1F, 0x00, 0x01, 0x00, 0x01, 0x67, 0x12, 0x00, 0x00, 0x02, 0x02,  // record, OID 4711
      0x10, 0x15, 0x00, 0x00, 0xE1, 0xF5, 0x05, 0x00, 0x00, 0x00, 0x9E, 0x00, 0x00, 0x00, 0x20,
      0x03, 0x90, 0x01, 0x5A, 0x00, 0x00, 0x00, 0x00, 0x00,              // POS_DATA
      0x11, 0x04, 0x00, 0x0A, 0x5A, 0x00, 0x09,                          // EXT_POS_DATA
      0x00, 0x00};                                                       // SFRCS
  std::vector<uint8_t> bytes(packet, packet + sizeof packet);
  bytes[10] = Crc8(bytes.data(), 10);
  const uint16_t sfrcs = Crc16(bytes.data() + 11, 0x2A);
  bytes[bytes.size() - 2] = static_cast<uint8_t>(sfrcs);
  bytes[bytes.size() - 1] = static_cast<uint8_t>(sfrcs >> 8);
  TransportHeader header;
  PacketHolder holder;
  const auto count = static_cast<uint16_t>(bytes.size());
  if (ValidateTransportHeader(bytes.data(), count, header) >= 128 ||
      ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard) != 0) {
    state.SkipWithError("the packet does not parse");
    return;
  }
  const PacketOrigin origin{1, {}, "bench"};
  std::size_t found = 0;
  for (auto _ : state) {
    const std::vector<TrackPoint> points = PositionsOf(holder, origin);
    found = points.size();
    benchmark::DoNotOptimize(points.data());
  }
  if (found != 1) state.SkipWithError("the packet has no position");
}
BENCHMARK(BM_TrackPositionsOfPacket);

}  // namespace
