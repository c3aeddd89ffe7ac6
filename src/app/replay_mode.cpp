#include "app/replay_mode.h"

#include <map>
#include <memory>
#include <vector>

#include "app/unit_fleet.h"
#include "capture/capture_reader.h"
#include "console/log_line.h"
#include "session/replay_unit.h"
#include "util/text.h"

namespace {

constexpr int kBadStart = 2;

// The terminal side of every connection, by connection id.
class TerminalPackets final : public capture::CaptureListener {
 public:
  void OnPacket(const capture::PacketEvent& event) override {
    if (!event.whole || event.direction != capture::Direction::kTerminalToPlatform) return;
    const int64_t ms = event.time.seconds * 1000 + event.time.microseconds / 1000;
    if (first_ < 0) first_ = ms;
    if (kept_ + event.bytes.size() > kMaxReplayBytes) {
      ++leftOut_;
      return;
    }
    kept_ += event.bytes.size();
    auto& packets = connections_[event.connection.id];
    if (!packets) packets = std::make_shared<std::vector<session::ReplayPacket>>();
    packets->push_back({std::vector<uint8_t>(event.bytes.begin(), event.bytes.end()), ms - first_,
                        event.time.seconds});
  }
  void OnGap(const capture::GapEvent&) override {}
  void OnConnectionEnd(const capture::ConnectionEndEvent&) override {}
  void OnDamage(const std::string& message) override {
    WriteMessage("WARNING: " + message + "\n");
  }
  void OnProgress(uint64_t, uint64_t) override {}

  std::map<uint64_t, std::shared_ptr<std::vector<session::ReplayPacket>>> connections_;
  uint64_t leftOut_ = 0;

 private:
  int64_t first_ = -1;
  std::size_t kept_ = 0;
};

// The TID of the connection's TERM_IDENTITY, or its number.
uint32_t LabelOf(const std::vector<session::ReplayPacket>& packets, uint64_t id) {
  for (const session::ReplayPacket& p : packets) {
    const std::vector<uint8_t>& b = p.bytes;
    if (b.size() < 11 || b[9] != 1) continue;
    const std::size_t at = b[3];
    if (b.size() < at + 7) continue;
    const uint8_t rfl = b[at + 4];
    const std::size_t header = 7 + ((rfl & 1) ? 4 : 0) + ((rfl & 2) ? 4 : 0) + ((rfl & 4) ? 4 : 0);
    const std::size_t srd = at + header + 3;
    if (b.size() >= srd + 4 && b[at + header - 2] == 1 && b[at + header] == 1) {
      return static_cast<uint32_t>(b[srd] | (b[srd + 1] << 8) | (b[srd + 2] << 16) |
                                   (static_cast<uint32_t>(b[srd + 3]) << 24));
    }
  }
  return static_cast<uint32_t>(id);
}

}  // namespace

int RunReplayMode(const StartupSettings& settings, const PacketRoad& road) {
  TerminalPackets captured;
  const capture::CaptureTotals totals =
      capture::ReadCapture(settings.CaptureFile, {settings.CapturePort}, captured);
  if (!totals.opened) {
    WriteMessage(StringPrintf("ERROR: Capture %s: %s\n", settings.CaptureFile.c_str(),
                              totals.error.c_str()));
    return kBadStart;
  }
  if (captured.leftOut_ > 0) {
    WriteMessage(StringPrintf("WARNING: %llu packets of the capture left out of the replay (more than %zu bytes)\n",
                              static_cast<unsigned long long>(captured.leftOut_), kMaxReplayBytes));
  }
  std::vector<std::pair<uint32_t, std::shared_ptr<const std::vector<session::ReplayPacket>>>> units;
  for (const auto& [id, packets] : captured.connections_) {
    units.emplace_back(LabelOf(*packets, id), packets);
  }
  WriteMessage(StringPrintf("INFO: %zu connections of the capture to play again\n", units.size()));
  if (units.empty()) return 0;
  FleetOptions options;
  options.address = settings.PlatformAddress;
  options.port = settings.PlatformPort;
  options.count = static_cast<uint32_t>(units.size());
  options.report = road.report;
  options.reportPackets = units.size() == 1 || settings.Verbose || settings.Standard;
  session::ReplayOptions replay;
  replay.confirmedPacing = settings.ReplayConfirmed;
  replay.factor = settings.ReplayFactor;
  replay.shiftTimes = settings.ReplayTimesNow;
  const UnitMaker make = [&](uint32_t index, session::UnitStats& stats) {
    return std::unique_ptr<session::ConversationUnit>(std::make_unique<session::ReplayUnit>(
        units[index].second, units[index].first, replay, stats));
  };
  RunFleet(options, road, make);
  return 0;
}
