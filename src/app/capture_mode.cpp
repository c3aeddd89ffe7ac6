#include "app/capture_mode.h"

#include <set>

#include "server/conformance_hub.h"
#include "session/conformance_runner.h"

#include <chrono>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "capture/capture_reader.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_dumps.h"
#include "console/packet_json.h"
#include "console/service_report.h"
#include "pipeline/packet_pipeline.h"
#include "platform/console.h"
#include "service/common/subrecord_record_response.h"
#include "service/subrecord_types.h"
#include "session/platform_checks.h"
#include "session/terminal_conversation.h"
#include "session/terminal_side.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "transport/transport_report.h"
#include "util/utc_time.h"

namespace {

using capture::CaptureTime;
using capture::Direction;

// What the checks say of each side in a capture, where both are observed.
const session::TrackerTexts kPlatformPacketsTexts = {
    "Packet %u of the platform not confirmed within 5000 ms",
    "Record %u of the platform not confirmed within 5000 ms",
    nullptr,
    "Record %u of the platform confirmed with result %u (%s)",
    "Confirmation of unknown packet %u of the platform",
    "Packet %u of the platform not confirmed before the connection closed (%lld ms)",
    "Record %u of the platform not confirmed before the connection closed (%lld ms)",
};
const session::TrackerTexts kTerminalPacketsTexts = {
    "Packet %u of the terminal not confirmed within 5000 ms",
    "Record %u of the terminal not confirmed within 5000 ms",
    nullptr,
    "Record %u of the terminal confirmed with result %u (%s)",
    "Confirmation of unknown packet %u of the terminal",
    "Packet %u of the terminal not confirmed before the connection closed (%lld ms)",
    "Record %u of the terminal not confirmed before the connection closed (%lld ms)",
};

// Summaries kept for the end of the run; later connections count in the
// totals only, so memory stays bounded whatever the capture.
constexpr std::size_t kMaxSummaries = 10000;
// How often, in capture time, every open conversation's deadlines are looked at.
constexpr session::Millis kSweepInterval = 1000;
constexpr std::chrono::milliseconds kProgressInterval{250};

session::Millis CaptureMillis(const CaptureTime& time) {
  return time.seconds * 1000 + time.microseconds / 1000;
}

platform::SystemTime SystemTimeOf(const CaptureTime& time) {
  const auto point = std::chrono::system_clock::time_point(
      std::chrono::seconds(time.seconds) + std::chrono::microseconds(time.microseconds));
  return platform::ToSystemTime(point);
}

// "dd.mm.yyyy hh:mm:ss.uuuuuu"
std::string CaptureTimeText(const CaptureTime& time) {
  UtcDateTime t;
  if (!ToUtcDateTime(time.seconds, t)) return "??.??.???? ??:??:??.??????";
  return StringPrintf("%02u.%02u.%04u %02u:%02u:%02u.%06u", t.day, t.month, t.year, t.hour,
                      t.minute, t.second, time.microseconds);
}

// "yyyy-mm-ddThh:mm:ss.uuuuuuZ" into text, its length returned (0: no such time).
std::size_t CaptureTimeIsoInto(const CaptureTime& time, char (&text)[kIsoTextRoom]) {
  UtcDateTime t;
  if (!ToUtcDateTime(time.seconds, t)) return 0;
  return IsoTextInto(t, 6, time.microseconds % 1000000, text);
}

using SideCounts = CaptureSideCounts;
using ConnectionSummary = CaptureConnectionSummary;

struct ConnectionState {
  ConnectionState(session::Millis start, bool startSeen)
      : conversation(start, kPlatformPacketsTexts, startSeen) {}
  session::TerminalConversation conversation;  // the platform's packets, the terminal's PIDs
  session::TerminalSide terminal{kTerminalPacketsTexts, false};  // the terminal's, observed
  ConnectionSummary summary;
};

void CountCodes(const PacketHolder& holder, uint8_t parsed, ConnectionSummary& summary) {
  if (parsed != EGTS::EGTS_PC_OK) ++summary.codes[parsed];
  if (!holder.packet) return;
  if (holder.type == EGTS::EGTS_PT_RESPONSE) {
    const auto& response = static_cast<const EGTS::Packet_Response&>(*holder.packet);
    if (response.PR != EGTS::EGTS_PC_OK) ++summary.codes[response.PR];
  }
  for (const EGTS::Record& record : holder.packet->records) {
    if (record.result != EGTS::EGTS_PC_OK) ++summary.codes[record.result];
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      if (entry.result != EGTS::EGTS_PC_OK) ++summary.codes[entry.result];
      // The type first: a cast costs more than the whole count.
      if (entry.SRT != EGTS::EGTS_SR_RECORD_RESPONSE) continue;
      const auto* response =
          dynamic_cast<const EGTS::Subrecord_RECORD_RESPONSE*>(entry.object.get());
      if (response != nullptr && response->RST() != EGTS::EGTS_PC_OK) ++summary.codes[response->RST()];
    }
  }
}

class CaptureReport final : public capture::CaptureListener {
 public:
  CaptureReport(const PacketRoad& road, std::string capture, session::ConformanceRunner* runs)
      : report_(road.report), pipeline_(road), capture_(std::move(capture)),
        progress_(platform::StandardErrorIsTerminal()), runs_(runs) {}

  void OnPacket(const capture::PacketEvent& event) override;
  void OnGap(const capture::GapEvent& event) override;
  void OnConnectionEnd(const capture::ConnectionEndEvent& event) override;
  void OnDamage(const std::string& message) override;
  void OnProgress(uint64_t bytesRead, uint64_t fileSize) override;

  // The summaries and the totals, after the capture was read.
  void Finish(const capture::CaptureTotals& totals);

 private:
  ConnectionState& StateOf(const capture::Connection& connection, const CaptureTime& time);
  void Converse(ConnectionState& state, const capture::PacketEvent& event, uint8_t parseResult,
                const PacketHolder& holder, session::Findings& findings);
  void Sweep(const CaptureTime& time);
  void Emit(const std::string& text) const;
  void EmitFindings(const CaptureTime& time, const std::string& connection,
                    const session::Findings& findings, ConnectionSummary& summary) const;
  void Keep(ConnectionSummary&& summary);
  std::string SummaryText(const ConnectionSummary& summary) const;
  CaptureTotalsSummary TotalsOf(const capture::CaptureTotals& totals) const;

  ReportOptions report_;
  pipeline::PacketPipeline pipeline_;
  std::string capture_;
  bool progress_;
  std::map<uint64_t, std::unique_ptr<ConnectionState>> open_;
  std::vector<ConnectionSummary> summaries_;
  uint64_t connections_ = 0;
  uint64_t packets_ = 0;
  SideCounts terminalTotal_;
  SideCounts platformTotal_;
  uint64_t gaps_ = 0;
  uint64_t bytesLost_ = 0;
  uint64_t findings_ = 0;
  session::Millis lastSweep_ = 0;
  std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point lastProgress_{};
  bool progressShown_ = false;
  session::ConformanceRunner* runs_;  // -t: with -p:; may be null
  std::set<uint64_t> runsConnections_;
  session::Millis lastTime_ = 0;
  pipeline::PacketIn in_;  // the packet being reported
  std::string spentBlock_;  // the last packet's block: the next one's memory

 public:
  // The runs' steps that ended, as lines (with -j as step objects).
  void EmitSteps();
  // The end of the capture: what the runs still wait for never comes.
  void EndRuns();
};

void CaptureReport::EmitSteps() {
  if (runs_ == nullptr) return;
  for (const session::StepResult& step : runs_->TakeEnded()) {
    Emit(report_.json ? StepJsonLine(step) + "\n" : StepLogText(step));
  }
}

void CaptureReport::EndRuns() {
  if (runs_ == nullptr) return;
  for (const uint64_t id : runsConnections_) runs_->Closed(static_cast<uint32_t>(id), lastTime_);
  // Far beyond every deadline: what was not in the capture fails by its limit.
  runs_->Advance(lastTime_ + 24LL * 3600 * 1000);
  EmitSteps();
}

void CaptureReport::Emit(const std::string& text) const {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report_.json) {
    std::fwrite(text.data(), 1, text.size(), stdout);
  } else {
    WriteText(text);
  }
}

// One line per finding: the capture time, the connection, the message; in
// JSON a log object with the capture time and the connection as source.
void CaptureReport::EmitFindings(const CaptureTime& time, const std::string& connection,
                                 const session::Findings& findings,
                                 ConnectionSummary& summary) const {
  if (findings.empty()) return;
  std::string text;
  for (const session::Finding& finding : findings) {
    // The summary counts the checks that fired, not what was merely told.
    if (finding.level != session::Level::kInfo) ++summary.findings[finding.kind];
    if (!report_.json) {
      text += CaptureTimeText(time) + "  " + connection + "  " + session::FindingLine(finding);
      continue;
    }
    text += LogJsonLine(SystemTimeOf(time), connection, session::LevelName(finding.level),
                        finding.text) +
            "\n";
  }
  Emit(text);
}

ConnectionState& CaptureReport::StateOf(const capture::Connection& connection,
                                        const CaptureTime& time) {
  auto found = open_.find(connection.id);
  if (found != open_.end()) return *found->second;
  ++connections_;
  auto state = std::make_unique<ConnectionState>(CaptureMillis(time), connection.startSeen);
  state->summary.name = connection.name;
  return *open_.emplace(connection.id, std::move(state)).first->second;
}

void CaptureReport::Converse(ConnectionState& state, const capture::PacketEvent& event,
                             uint8_t parseResult, const PacketHolder& holder,
                             session::Findings& findings) {
  const session::Millis now = CaptureMillis(event.time);
  ConnectionSummary& summary = state.summary;
  const uint64_t records = holder.packet ? holder.packet->records.size() : 0;
  if (event.direction == Direction::kTerminalToPlatform) {
    ++summary.terminal.packets;
    summary.terminal.records += records;
    state.conversation.FromTerminal(event.header, holder, now, findings);
    state.terminal.Sent(event.header, holder, now);
    if (runs_ != nullptr) {
      const auto id = static_cast<uint32_t>(event.connection.id);
      if (runsConnections_.insert(event.connection.id).second) runs_->Connected(id, now);
      runs_->Received(id, event.header, holder, now);
      lastTime_ = std::max(lastTime_, now);
      EmitSteps();
    }
    return;
  }
  ++summary.platform.packets;
  summary.platform.records += records;
  session::Step step =
      state.terminal.Received(event.headerCode, event.header, parseResult, holder, now);
  for (session::Finding& finding : step.findings) findings.push_back(std::move(finding));
  state.conversation.FromPlatform(event.header, holder, now);
  const int answer = session::AuthorizationAnswer(holder);
  if (answer >= 0) {
    summary.authorizationResult = answer;
    findings.push_back(session::Info("Authorization answered with result %d (%s)", answer,
                                    ResultCodeText(static_cast<unsigned>(answer))));
  }
}

void CaptureReport::OnPacket(const capture::PacketEvent& event) {
  ++packets_;
  ConnectionState& state = StateOf(event.connection, event.time);
  Sweep(event.time);
  session::Findings findings;
  if (event.headerCode != EGTS::EGTS_PC_OK || !event.whole) {
    ++state.summary.codes[event.headerCode];
  }
  // One PacketIn for every packet: its texts keep their room.
  pipeline::PacketIn& in = in_;
  in.bytes = event.bytes;
  in.time = SystemTimeOf(event.time);
  in.receivedUnix = event.time.seconds;
  in.checked = pipeline::HeaderCheck{event.headerCode, event.header};
  in.whole = event.whole;
  // The conversation knows the standard's subrecords whatever is reported.
  in.needsStandard = true;
  if (report_.json) {
    in.source = "pcap";
    if (in.extra.empty()) in.extra = {{"capture_time", ""}, {"connection", ""}, {"direction", ""}};
    char time[kIsoTextRoom];
    in.extra[0].second.assign(time, CaptureTimeIsoInto(event.time, time));
    in.extra[1].second.assign(event.connection.name);
    in.extra[2].second.assign(capture::DirectionText(event.direction));
  } else {
    in.textLead = "\n" + CaptureTimeText(event.time) + " UTC  " + event.connection.name + "  " +
                  capture::DirectionText(event.direction) + "\n";
    in.textLead += event.whole ? FormatPacketDump(event.bytes) : FormatPartDump(event.bytes);
  }
  in.origin.TID = state.conversation.Tid();
  in.origin.label.assign(event.connection.name);
  in.room = &spentBlock_;
  pipeline::PacketOut taken = pipeline_.Take(in);
  if (taken.parsed) {
    CountCodes(taken.holder, taken.frameResult, state.summary);
    Converse(state, event, taken.frameResult, taken.holder, findings);
  }
  for (session::Finding& finding : taken.trackFindings) findings.push_back(std::move(finding));
  Emit(taken.block);
  spentBlock_ = std::move(taken.block);
  findings_ += findings.size();
  EmitFindings(event.time, event.connection.name, findings, state.summary);
}

void CaptureReport::OnGap(const capture::GapEvent& event) {
  ConnectionState& state = StateOf(event.connection, event.time);
  ++gaps_;
  bytesLost_ += event.bytesLost;
  ++state.summary.gaps;
  state.summary.bytesLost += event.bytesLost;
  const session::Findings findings = {
      session::Warning("%llu bytes %s are missing from the capture",
                   static_cast<unsigned long long>(event.bytesLost),
                   capture::DirectionText(event.direction))};
  findings_ += findings.size();
  EmitFindings(event.time, event.connection.name, findings, state.summary);
}

// Every open conversation's deadlines, by capture time.
void CaptureReport::Sweep(const CaptureTime& time) {
  const session::Millis now = CaptureMillis(time);
  if (now - lastSweep_ < kSweepInterval) return;
  lastSweep_ = now;
  for (auto& [id, state] : open_) {
    session::Findings findings;
    state->conversation.Expire(now, findings);
    state->terminal.Expire(now, findings);
    findings_ += findings.size();
    EmitFindings(time, state->summary.name, findings, state->summary);
  }
}

void CaptureReport::OnConnectionEnd(const capture::ConnectionEndEvent& event) {
  auto found = open_.find(event.connection.id);
  if (found == open_.end()) return;
  ConnectionState& state = *found->second;
  session::Findings findings;
  // A connection that closed will never bring the confirmations still
  // awaited; at the end of the capture, or of following it, they may merely
  // lie beyond what was seen.
  const session::Millis now = CaptureMillis(event.time);
  if (event.reason == capture::EndReason::kClosed ||
      event.reason == capture::EndReason::kReplaced) {
    state.conversation.ExpireAtClose(now, findings);
    state.terminal.ExpireAtClose(now, findings);
  } else {
    state.conversation.Expire(now, findings);
    state.terminal.Expire(now, findings);
  }
  findings_ += findings.size();
  EmitFindings(event.time, event.connection.name, findings, state.summary);
  state.summary.ending = capture::EndReasonText(event.reason);
  terminalTotal_.packets += state.summary.terminal.packets;
  terminalTotal_.records += state.summary.terminal.records;
  platformTotal_.packets += state.summary.platform.packets;
  platformTotal_.records += state.summary.platform.records;
  Keep(std::move(state.summary));
  open_.erase(found);
}

void CaptureReport::Keep(ConnectionSummary&& summary) {
  if (summaries_.size() < kMaxSummaries) summaries_.push_back(std::move(summary));
}

void CaptureReport::OnDamage(const std::string& message) { WriteMessage("ERROR: " + message + "\n"); }

void CaptureReport::OnProgress(uint64_t bytesRead, uint64_t fileSize) {
  if (!progress_) return;
  const auto now = std::chrono::steady_clock::now();
  if (now - lastProgress_ < kProgressInterval && bytesRead < fileSize) return;
  lastProgress_ = now;
  const double seconds = std::chrono::duration<double>(now - started_).count();
  const std::string line = StringPrintf(
      "\r%.1f of %.1f MB read, %llu packets, %.0f packets/s   ", bytesRead / 1048576.0,
      fileSize / 1048576.0, static_cast<unsigned long long>(packets_),
      seconds > 0 ? packets_ / seconds : 0.0);
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  progressShown_ = true;
}

std::string CaptureReport::SummaryText(const ConnectionSummary& summary) const {
  std::string text = StringPrintf(
      "  %s\n    terminal -> platform: %llu packets, %llu records\n"
      "    platform -> terminal: %llu packets, %llu records\n",
      summary.name.c_str(), static_cast<unsigned long long>(summary.terminal.packets),
      static_cast<unsigned long long>(summary.terminal.records),
      static_cast<unsigned long long>(summary.platform.packets),
      static_cast<unsigned long long>(summary.platform.records));
  text += summary.authorizationResult < 0
              ? std::string("    authorization: not answered in the capture\n")
              : StringPrintf("    authorization: answered with %d (%s)\n",
                             summary.authorizationResult,
                             ResultCodeText(static_cast<unsigned>(summary.authorizationResult)));
  for (const auto& [code, count] : summary.codes) {
    text += StringPrintf("    result %u (%s): %llu times\n", code, ResultCodeText(code),
                         static_cast<unsigned long long>(count));
  }
  if (summary.gaps > 0) {
    text += StringPrintf("    gaps: %llu, %llu bytes lost\n",
                         static_cast<unsigned long long>(summary.gaps),
                         static_cast<unsigned long long>(summary.bytesLost));
  }
  for (const auto& [kind, count] : summary.findings) {
    text += StringPrintf("    %s: %llu times\n", kind.c_str(),
                         static_cast<unsigned long long>(count));
  }
  text += "    ended: " + summary.ending + "\n";
  return text;
}

CaptureTotalsSummary CaptureReport::TotalsOf(const capture::CaptureTotals& totals) const {
  CaptureTotalsSummary all;
  all.capture = capture_;
  all.records = totals.records;
  all.connections = connections_;
  all.connectionsSummarized = summaries_.size();
  all.terminal = terminalTotal_;
  all.platform = platformTotal_;
  all.gaps = gaps_;
  all.bytesLost = bytesLost_;
  all.findings = findings_;
  all.framesCut = totals.cut;
  all.snapLength = totals.snapLength;
  all.fragments = totals.fragments;
  all.malformedFrames = totals.malformed;
  all.damaged = totals.damaged;
  return all;
}

std::string TotalsText(const CaptureTotalsSummary& all) {
  const auto n = [](uint64_t value) { return static_cast<unsigned long long>(value); };
  std::string text;
  if (all.connections > all.connectionsSummarized) {
    text += StringPrintf("  (%llu more connections are counted in the totals only)\n",
                         n(all.connections - all.connectionsSummarized));
  }
  text += StringPrintf(
      "Totals: %llu capture records, %llu connections, %llu packets terminal -> platform "
      "(%llu records), %llu packets platform -> terminal (%llu records), %llu gaps (%llu bytes "
      "lost), %llu findings, %llu frames cut short by the snap length, %llu IP fragments, %llu "
      "malformed frames%s\n",
      n(all.records), n(all.connections), n(all.terminal.packets), n(all.terminal.records),
      n(all.platform.packets), n(all.platform.records), n(all.gaps), n(all.bytesLost),
      n(all.findings), n(all.framesCut), n(all.fragments), n(all.malformedFrames),
      all.damaged ? ", the capture is damaged" : "");
  return text;
}

// One line when most frames lost bytes to the snap length: every gap of
// the capture then has one cause.
std::string SnapLengthText(const CaptureTotalsSummary& all) {
  if (all.framesCut == 0 || all.framesCut * 2 <= all.records) return "";
  return StringPrintf(
      "WARNING: %llu of %llu frames are cut short: the capture was taken with a snap length of "
      "%d bytes, too small for its data\n",
      static_cast<unsigned long long>(all.framesCut), static_cast<unsigned long long>(all.records),
      all.snapLength);
}

// The summaries and the totals: text, or with -j summary objects on
// standard output and the text on standard error.
void CaptureReport::Finish(const capture::CaptureTotals& totals) {
  if (progressShown_) {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    std::fputc('\n', stderr);
  }
  const CaptureTotalsSummary all = TotalsOf(totals);
  std::string text = "\nCapture summary:\n----------------\n";
  for (const ConnectionSummary& summary : summaries_) text += SummaryText(summary);
  text += TotalsText(all);
  if (report_.json) {
    std::string objects;
    for (const ConnectionSummary& summary : summaries_) {
      objects += CaptureSummaryJsonLine(summary) + "\n";
    }
    objects += CaptureTotalsJsonLine(all) + "\n";
    Emit(objects);
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteText(text);
  } else {
    Emit(text);
  }
  WriteMessage(SnapLengthText(all));
}

}  // namespace

void RunCaptureMode(const CaptureSettings& settings, const PacketRoad& road,
                    session::ConformanceRunner* runs) {
  CaptureReport listener(road, settings.path, runs);
  capture::CaptureOptions options;
  options.port = settings.port;
  const capture::CaptureTotals totals = capture::ReadCapture(settings.path, options, listener);
  if (!totals.opened) {
    WriteMessage(StringPrintf("ERROR: Can not read the capture '%s': %s\n", settings.path.c_str(),
                              totals.error.c_str()));
    return;
  }
  listener.EndRuns();
  listener.Finish(totals);
}
