#include "app/unit_fleet.h"

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "app/process_state.h"
#include "app/unit_reports.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "platform/console.h"
#include "platform/console_input.h"
#include "platform/event.h"
#include "platform/system_time.h"
#include "platform/tcp_client_loop.h"
#include "session/simulated_unit.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"
#include "util/text.h"

namespace {

using platform::TcpClientLoop;
using session::SimulatedUnit;
using session::UnitOutput;
using session::UnitTime;

constexpr auto kPacingTick = std::chrono::milliseconds(10);
constexpr int64_t kProgressPeriod = 1000;
constexpr int64_t kLastPacketsGrace = 1000;

UnitTime Now() {
  return {TcpClientLoop::SteadyMillis(), platform::UnixSeconds(platform::CurrentSystemTime())};
}

class Fleet final : public TcpClientLoop::Handler {
 public:
  Fleet(const FleetOptions& options, const PacketRoad& road, const UnitMaker& make)
      : options_(options), packets_(road, options.reportPackets), make_(make), loop_(*this) {
    units_.resize(options.count);
    inboxes_.resize(options.count);
    stats_.units = options.count;
  }

  void Run() {
    startedAt_ = TcpClientLoop::SteadyMillis();
    progressShown_ = platform::StandardErrorIsTerminal();
    lastProgress_ = startedAt_;
    loop_.Every(kPacingTick, [this] { Pace(); });
    Pace();
    loop_.Run();
    // Stopped from outside: whatever the units still await is lost.
    for (auto& unit : units_) {
      if (unit && !unit->Ended()) unit->Closed(false);
    }
    if (progressShown_) std::fputs("\n", stderr);
  }

  session::UnitStats& Stats() { return stats_; }
  int64_t StartedAt() const { return startedAt_; }
  double Seconds() const {
    return static_cast<double>(TcpClientLoop::SteadyMillis() - startedAt_) / 1000.0;
  }

  void OnConnected(TcpClientLoop::Id id) override {
    UnitOutput out;
    units_[id]->Connected(Now(), out);
    Flush(id, out);
  }

  void OnConnectFailed(TcpClientLoop::Id id, std::error_code error) override {
    ++stats_.connectFailures;
    units_[id]->Closed(false);
    if (options_.reportPackets) {
      WriteMessage(StringPrintf("ERROR: Unit %u can not connect to the platform %s:%u (error:%d %s)\n",
                                units_[id]->Tid(), options_.address.c_str(), unsigned{options_.port},
                                error.value(), error.message().c_str()));
    }
    UnitEnded(id);
  }

  void OnReceived(TcpClientLoop::Id id, std::span<const uint8_t> bytes) override {
    std::vector<uint8_t>& inbox = inboxes_[id];
    inbox.insert(inbox.end(), bytes.begin(), bytes.end());
    std::size_t used = 0;
    while (!units_[id]->Ended()) {
      const std::size_t length = WholePacket(id, inbox, used);
      if (length == 0) break;
      const std::span<const uint8_t> packet(inbox.data() + used, length);
      packets_.Take(units_[id]->Tid(), false, packet);
      UnitOutput out;
      units_[id]->Received(packet, Now(), out);
      used += length;
      Flush(id, out);
    }
    inbox.erase(inbox.begin(), inbox.begin() + static_cast<std::ptrdiff_t>(std::min(used, inbox.size())));
    if (inbox.capacity() > 4096 && inbox.size() < 1024) inbox.shrink_to_fit();
  }

  void OnClosed(TcpClientLoop::Id id, bool byPeer, std::error_code error) override {
    if (units_[id]->Ended()) return;
    units_[id]->Closed(byPeer);
    if (options_.reportPackets) {
      WriteMessage(byPeer ? StringPrintf("INFO: Unit %u: connection closed by the platform\n",
                                         units_[id]->Tid())
                          : StringPrintf("ERROR: Unit %u: connection failed (error:%d %s)\n",
                                         units_[id]->Tid(), error.value(), error.message().c_str()));
    }
    UnitEnded(id);
  }

  void OnWake(TcpClientLoop::Id id) override {
    UnitOutput out;
    units_[id]->Tick(Now(), out);
    Flush(id, out);
  }

 private:
  // The length of the whole packet at `used` in the inbox, 0 while more is
  // needed. A header that fails its check ends the unit.
  std::size_t WholePacket(TcpClientLoop::Id id, const std::vector<uint8_t>& inbox, std::size_t used) {
    const std::size_t held = inbox.size() - used;
    if (held < kShortHeaderLength) return 0;
    const std::size_t headerLength = inbox[used + 3] == kRoutedHeaderLength ? kRoutedHeaderLength
                                                                            : kShortHeaderLength;
    if (held < headerLength) return 0;
    TransportHeader header;
    const uint8_t code = ValidateTransportHeader(inbox.data() + used,
                                                 static_cast<uint16_t>(headerLength), header);
    if (EGTS::IsError(code)) {
      if (options_.reportPackets) {
        packets_.Take(units_[id]->Tid(), false,
                      std::span<const uint8_t>(inbox.data() + used, headerLength));
        WriteMessage(StringPrintf("WARNING: Unit %u: the platform's packet cannot be framed; the connection is closed\n",
                                  units_[id]->Tid()));
      }
      UnitOutput out;
      out.close = true;
      units_[id]->Closed(false);
      Flush(id, out);
      return 0;
    }
    const std::size_t length = header.HL + header.FDL + (header.FDL > 0 ? 2u : 0u);
    return held >= length ? length : 0;
  }

  void Flush(TcpClientLoop::Id id, UnitOutput& out) {
    session::ConversationUnit& unit = *units_[id];
    for (std::vector<uint8_t>& packet : out.packets) {
      packets_.Take(unit.Tid(), true, packet);
      if (!loop_.Send(id, std::move(packet))) {
        out.findings.push_back(StringPrintf(
            "WARNING: Unit %u: the platform does not take what the unit sends; the connection is closed\n",
            unit.Tid()));
        unit.Closed(false);
        out.close = true;
        break;
      }
    }
    if (options_.reportPackets) {
      for (const std::string& finding : out.findings) WriteMessage(finding);
    }
    if (out.close || unit.Ended()) {
      loop_.CloseAfterSending(id);
      UnitEnded(id);
      return;
    }
    loop_.WakeAt(id, unit.NextWake());
  }

  void UnitEnded(TcpClientLoop::Id id) {
    if (ended_.size() < units_.size()) ended_.resize(units_.size(), false);
    if (ended_[id]) return;
    ended_[id] = true;
    if (++endedCount_ == units_.size()) allEndedAt_ = TcpClientLoop::SteadyMillis();
  }

  // Starts the units due by now at the connection rate; checks for a stop
  // and shows the progress.
  void Pace() {
    const int64_t now = TcpClientLoop::SteadyMillis();
    if (platform::Event* stop = StopAllEvent(); stop != nullptr && stop->IsSet()) {
      loop_.Stop();
      return;
    }
    // Every unit has ended: the last packets get a moment to leave.
    if (allEndedAt_ >= 0 && (loop_.Open() == 0 || now - allEndedAt_ >= kLastPacketsGrace)) {
      loop_.Stop();
      return;
    }
    const uint64_t due = options_.perSecond == 0
                             ? units_.size()
                             : std::min<uint64_t>(units_.size(),
                                                  1 + static_cast<uint64_t>(now - startedAt_) *
                                                          options_.perSecond / 1000);
    for (; started_ < due; ++started_) {
      const auto id = static_cast<TcpClientLoop::Id>(started_);
      units_[id] = make_(id, stats_);
      loop_.Connect(id, options_.address, options_.port);
    }
    if (progressShown_ && now - lastProgress_ >= kProgressPeriod) {
      lastProgress_ = now;
      std::fprintf(stderr,
                   "\rconnected %llu authorized %llu records sent %llu confirmed %llu resent %llu lost %llu ",
                   static_cast<unsigned long long>(stats_.connected),
                   static_cast<unsigned long long>(stats_.authorized),
                   static_cast<unsigned long long>(stats_.recordsSent),
                   static_cast<unsigned long long>(stats_.recordsConfirmed),
                   static_cast<unsigned long long>(stats_.resends),
                   static_cast<unsigned long long>(stats_.lost));
      std::fflush(stderr);
    }
  }

  const FleetOptions& options_;
  UnitPacketRoad packets_;
  const UnitMaker& make_;
  TcpClientLoop loop_;
  session::UnitStats stats_;
  std::vector<std::unique_ptr<session::ConversationUnit>> units_;
  std::vector<std::vector<uint8_t>> inboxes_;
  std::vector<bool> ended_;
  std::size_t endedCount_ = 0;
  uint64_t started_ = 0;
  int64_t startedAt_ = 0;
  int64_t allEndedAt_ = -1;
  int64_t lastProgress_ = 0;
  bool progressShown_ = false;
};

std::string Percentiles(const session::LatencyHistogram& h) {
  return StringPrintf("{\"p50\":%lld,\"p90\":%lld,\"p99\":%lld,\"max\":%lld}",
                      static_cast<long long>(h.Percentile(50)), static_cast<long long>(h.Percentile(90)),
                      static_cast<long long>(h.Percentile(99)), static_cast<long long>(h.Max()));
}

std::string PercentilesText(const session::LatencyHistogram& h) {
  return StringPrintf("p50 %lld, p90 %lld, p99 %lld, max %lld",
                      static_cast<long long>(h.Percentile(50)), static_cast<long long>(h.Percentile(90)),
                      static_cast<long long>(h.Percentile(99)), static_cast<long long>(h.Max()));
}

unsigned long long U(uint64_t value) { return static_cast<unsigned long long>(value); }

// "quit" at the console ends the run as a control event does.
void WatchConsole() {
  platform::ConsoleInput& input = platform::StandardInput();
  while (auto line = input.ReadLine(130)) {
    if (line->rfind("quit", 0) == 0) {
      SetStopAllEvent();
      return;
    }
  }
}

}  // namespace

std::string FleetSummaryText(const session::UnitStats& s, double seconds) {
  std::string text = StringPrintf(
      "\nUnits: %llu, connected %llu, authorized %llu, refused %llu, could not connect %llu\n",
      U(s.units), U(s.connected), U(s.authorized), U(s.refused), U(s.connectFailures));
  text += StringPrintf(
      "Records: sent %llu, confirmed %llu, resends %llu, lost %llu, positions skipped %llu\n",
      U(s.recordsSent), U(s.recordsConfirmed), U(s.resends), U(s.lost), U(s.positionsSkipped));
  text += StringPrintf("Packets: sent %llu, received %llu; commands answered %llu; closed by the platform %llu\n",
                       U(s.packetsSent), U(s.packetsReceived), U(s.commandsAnswered),
                       U(s.closedByPlatform));
  text += "Authorization ms: " + PercentilesText(s.authMs) +
          (s.lastAuthorizedAt >= 0
               ? StringPrintf("; the last unit authorized %.3f s after the start\n",
                              static_cast<double>(s.lastAuthorizedAt) / 1000.0)
               : std::string("\n"));
  text += "Confirmation ms: " + PercentilesText(s.latencyMs) + "\n";
  text += StringPrintf("Run: %.1f s, %.0f records confirmed a second\n", seconds,
                       seconds > 0 ? static_cast<double>(s.recordsConfirmed) / seconds : 0.0);
  return text;
}

std::string FleetSummaryJson(const session::UnitStats& s, double seconds) {
  return StringPrintf(
             "{\"type\":\"summary\",\"units\":%llu,\"connected\":%llu,\"authorized\":%llu,"
             "\"refused\":%llu,\"records_sent\":%llu,\"records_confirmed\":%llu,\"resends\":%llu,"
             "\"lost\":%llu,\"closed_by_platform\":%llu,\"auth_ms\":",
             U(s.units), U(s.connected), U(s.authorized), U(s.refused), U(s.recordsSent),
             U(s.recordsConfirmed), U(s.resends), U(s.lost), U(s.closedByPlatform)) +
         Percentiles(s.authMs) + ",\"latency_ms\":" + Percentiles(s.latencyMs) +
         StringPrintf(",\"connect_failures\":%llu,\"positions_skipped\":%llu,\"packets_sent\":%llu,"
                      "\"packets_received\":%llu,\"commands_answered\":%llu,\"duration_s\":%.3f,"
                      "\"last_authorized_s\":",
                      U(s.connectFailures), U(s.positionsSkipped), U(s.packetsSent),
                      U(s.packetsReceived), U(s.commandsAnswered), seconds) +
         (s.lastAuthorizedAt >= 0
              ? StringPrintf("%.3f}", static_cast<double>(s.lastAuthorizedAt) / 1000.0)
              : std::string("null}"));
}

session::UnitStats RunUnitFleet(const FleetOptions& options, const PacketRoad& road,
                                std::shared_ptr<const session::UnitProfile> profile) {
  const UnitMaker make = [&profile](uint32_t index, session::UnitStats& stats) {
    return std::unique_ptr<session::ConversationUnit>(
        std::make_unique<SimulatedUnit>(profile, index, stats));
  };
  return RunFleet(options, road, make);
}

session::UnitStats RunFleet(const FleetOptions& options, const PacketRoad& road,
                            const UnitMaker& make) {
  if (StopAllEvent() == nullptr) {
    if (auto event = platform::Event::Create(platform::Event::Kind::kManualReset)) {
      InstallStopAllEvent(std::move(*event));
    }
  }
  Fleet fleet(options, road, make);
  std::thread console(WatchConsole);
  fleet.Run();
  platform::StandardInput().Close();
  console.join();
  const double seconds = fleet.Seconds();
  session::UnitStats& stats = fleet.Stats();
  stats.lastAuthorizedAt = stats.lastAuthorizedAt < 0 ? -1 : stats.lastAuthorizedAt - fleet.StartedAt();
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteText(FleetSummaryText(stats, seconds));
    if (options.report.json) WriteJsonLine(FleetSummaryJson(stats, seconds));
  }
  return fleet.Stats();
}
