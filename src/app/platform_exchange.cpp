#include "app/platform_exchange.h"

#include <algorithm>
#include <memory>
#include <mutex>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_dumps.h"
#include "console/packet_json.h"
#include "console/service_report.h"
#include "pipeline/packet_pipeline.h"
#include "platform/connected_socket.h"
#include "platform/wait_set.h"
#include "service/packet.h"
#include "service/record_parser.h"
#include "service/subrecord_types.h"
#include "session/platform_checks.h"
#include "session/terminal_side.h"
#include "transport/packet_framer.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "transport/transport_report.h"

namespace {

using session::Millis;

constexpr uint8_t kTermIdentity = 1;
constexpr uint8_t kDispatcherIdentity = 5;

void PrintFindings(const session::Findings& findings) {
  for (const session::Finding& finding : findings) WriteMessage(session::FindingLine(finding));
}

bool HasSubrecord(const PacketHolder& holder, uint8_t service,
                  std::initializer_list<uint8_t> types) {
  if (!holder.packet) return false;
  for (const EGTS::Record& record : holder.packet->records) {
    if (record.RST != service) continue;
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      if (std::find(types.begin(), types.end(), entry.SRT) != types.end()) return true;
    }
  }
  return false;
}

class PlatformSession {
 public:
  enum class Stop { kDone, kDeadline, kClosed, kFailed };

  PlatformSession(const PlatformExchange& exchange, platform::ConnectedSocket& socket,
                  const std::vector<std::vector<uint8_t>>& input);

  // Sends packet `index` of the input; false once the failure is reported.
  bool SendInput(const std::vector<uint8_t>& packet, std::size_t index);

  // Receives, reports and confirms until `Settled()` has held for `quiet`
  // (0: at once) or the steady clock reaches `deadline`.
  Stop Until(Millis deadline, Millis quiet);

  // The last input packet is confirmed and no RESULT_CODE is awaited.
  bool Settled() const { return !side_.Awaits(lastPid_) && !resultAwaited_; }
  bool LastConfirmed() const { return !side_.Awaits(lastPid_); }
  bool ResultAwaited() const { return resultAwaited_; }
  void GiveUpResult() { resultAwaited_ = false; }
  Millis LastSent() const { return lastSent_; }

  void Expire(Millis now) {
    session::Findings findings;
    side_.Expire(now, findings);
    PrintFindings(findings);
  }

 private:
  bool SendBytes(const std::vector<uint8_t>& bytes, const char* what);
  Stop ReceiveSome();
  bool Answer(const PacketFramer& framer);
  void ReportPart(const PacketFramer& framer);
  // A packet of the conversation as the pipeline takes it, stamped now.
  pipeline::PacketIn PacketOf(const char* source, std::span<const uint8_t> bytes) const;
  void PrintBlock(const std::string& block) const;

  const PlatformExchange& exchange_;
  pipeline::PacketPipeline pipeline_;
  platform::ConnectedSocket& socket_;
  PacketFramer framer_;
  session::TerminalSide side_{session::kPlatformConfirms, true};
  // The input's packets, parsed once: for the counters and the tracker.
  std::vector<PacketRead> inputs_;  // each packet of the input, with the standard's subrecords
  uint16_t lastPid_ = 0;
  Millis lastSent_ = 0;
  Millis lastHeard_ = 0;
  bool resultAwaited_ = false;
};

// The input's packets keep their own PIDs and RNs; our confirmations are
// numbered after the highest of them, so that the platform never sees a
// PID of ours twice (it would take the packet for one sent again).
PlatformSession::PlatformSession(const PlatformExchange& exchange,
                                 platform::ConnectedSocket& socket,
                                 const std::vector<std::vector<uint8_t>>& input)
    : exchange_(exchange),
      pipeline_(PacketRoad{exchange.report, {}, exchange.tracks}),
      socket_(socket) {
  uint16_t pid = 0;
  uint16_t rn = 0;
  inputs_.reserve(input.size());
  for (const std::vector<uint8_t>& bytes : input) {
    inputs_.push_back(ReadPacket(bytes, EGTS::SubrecordSet::kStandard));
    const PacketRead& packet = inputs_.back();
    pid = std::max(pid, packet.header.PID);
    if (!packet.holder.packet) continue;
    for (const EGTS::Record& record : packet.holder.packet->records) rn = std::max(rn, record.RN);
  }
  side_.Counters().packetId = static_cast<uint16_t>(pid + 1);
  side_.Counters().recordNumber = static_cast<uint16_t>(rn + 1);
}

pipeline::PacketIn PlatformSession::PacketOf(const char* source,
                                             std::span<const uint8_t> bytes) const {
  pipeline::PacketIn in;
  in.bytes = bytes;
  in.time = platform::CurrentSystemTime();
  in.source = source;
  return in;
}

void PlatformSession::PrintBlock(const std::string& block) const {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (exchange_.report.json) {
    std::fwrite(block.data(), 1, block.size(), stdout);
    std::fflush(stdout);
  } else {
    WriteText(block);
  }
}

bool PlatformSession::SendBytes(const std::vector<uint8_t>& bytes, const char* what) {
  const Millis deadline = session::SteadyNow() + exchange_.limit.count();
  for (size_t done = 0; done < bytes.size();) {
    auto sent = socket_.Send(bytes.data() + done, bytes.size() - done);
    if (sent) {
      done += *sent;
      continue;
    }
    std::error_code error = sent.error();
    if (error.value() == EAGAIN) {
      const Millis left = std::max<Millis>(0, deadline - session::SteadyNow());
      if (socket_.Writable().Wait(std::chrono::milliseconds(left)) ==
          platform::WaitStatus::kSignalled) {
        continue;
      }
      error = platform::SystemError(ETIMEDOUT);
    }
    WriteMessage(StringPrintf("ERROR: Can not send %s to the platform %s:%u (error:%d %s)\n", what,
                       exchange_.address.c_str(), unsigned{exchange_.port}, error.value(),
                       error.message().c_str()));
    return false;
  }
  return true;
}

bool PlatformSession::SendInput(const std::vector<uint8_t>& packet, std::size_t index) {
  if (!SendBytes(packet, "the packet")) return false;
  lastSent_ = session::SteadyNow();
  WriteMessage(StringPrintf("INFO: Packet sent to the platform %s:%u (%lu bytes)\n",
                     exchange_.address.c_str(), unsigned{exchange_.port},
                     static_cast<unsigned long>(packet.size())));
  const PacketRead& sent = inputs_[index];
  lastPid_ = sent.header.PID;
  side_.Sent(sent.header, sent.holder, lastSent_);
  if (HasSubrecord(sent.holder, EGTS::EGTS_AUTH_SERVICE, {kTermIdentity, kDispatcherIdentity})) {
    resultAwaited_ = true;
  }
  return true;
}

// One packet of the platform: its report (following -v, -x and -j), its
// confirmation when it is application data, then what the check of the
// platform's confirmations found. False when the confirmation could not be
// sent.
bool PlatformSession::Answer(const PacketFramer& framer) {
  pipeline::PacketIn in = PacketOf("platform", framer.Bytes());
  in.checked = pipeline::HeaderCheck{framer.ResultCode(), framer.Header()};
  // The confirmation and the checks read the standard's subrecords.
  in.needsStandard = true;
  if (!exchange_.report.json) in.textLead = FormatPacketDump(framer.Bytes());
  in.origin.label = StringPrintf("%s:%u", exchange_.address.c_str(), unsigned{exchange_.port});
  pipeline::PacketOut taken = pipeline_.Take(in);
  PrintBlock(taken.block);

  const TransportHeader& header = taken.header;
  bool sent = true;
  session::Findings findings = std::move(taken.trackFindings);
  session::Step step = side_.Received(framer.ResultCode(), header, taken.frameResult,
                                      taken.holder, session::SteadyNow());
  for (session::Finding& finding : step.findings) findings.push_back(std::move(finding));
  for (const session::Reply& reply : step.replies) {
    sent = SendBytes(reply.bytes, "the confirmation");
    if (!sent) break;
    pipeline::PacketIn own = PacketOf("response", reply.bytes);
    own.dumpOnly = true;
    own.carriesPositions = false;
    own.reportsStandardParse = true;
    if (!exchange_.report.json) own.textLead = FormatResponseDump(reply.bytes);
    PrintBlock(pipeline_.Take(own).block);
  }
  if (session::AuthorizationAnswer(taken.holder) >= 0) resultAwaited_ = false;
  PrintFindings(findings);
  return sent;
}

void PlatformSession::ReportPart(const PacketFramer& framer) {
  pipeline::PacketIn in = PacketOf("platform", framer.Bytes());
  in.checked = pipeline::HeaderCheck{framer.ResultCode(), framer.Header()};
  in.whole = false;
  if (!exchange_.report.json) in.textLead = FormatPartDump(framer.Bytes());
  PrintBlock(pipeline_.Take(in).block);
  WriteMessage("WARNING: The platform's answer cannot be framed; the connection is closed\n");
}

// Takes what is waiting; kDone while the connection goes on.
PlatformSession::Stop PlatformSession::ReceiveSome() {
  for (;;) {
    auto got = socket_.Receive(framer_.ReceivePosition(), framer_.Wanted());
    if (!got && got.error().value() == EAGAIN) return Stop::kDone;
    if (!got) {
      WriteMessage(StringPrintf("ERROR: Can not receive from the platform (error:%d %s)\n",
                         got.error().value(), got.error().message().c_str()));
      return Stop::kFailed;
    }
    if (*got == 0) {
      WriteMessage("INFO: Connection closed by the platform\n");
      return Stop::kClosed;
    }
    switch (framer_.Received(*got)) {
      case PacketFramer::Outcome::kNeedMore:
        break;
      case PacketFramer::Outcome::kPacket:
        lastHeard_ = session::SteadyNow();
        if (!Answer(framer_)) return Stop::kFailed;
        break;
      case PacketFramer::Outcome::kHeaderFailed:
        ReportPart(framer_);
        return Stop::kFailed;
    }
  }
}

PlatformSession::Stop PlatformSession::Until(Millis deadline, Millis quiet) {
  for (;;) {
    const Millis now = session::SteadyNow();
    const Millis calmSince = std::max(lastHeard_, lastSent_);
    if (Settled() && now - calmSince >= quiet) return Stop::kDone;
    if (now >= deadline) return Stop::kDeadline;
    const Millis wake = Settled() ? std::min(deadline, calmSince + quiet) : deadline;
    if (socket_.Wait(std::chrono::milliseconds(std::max<Millis>(0, wake - now))) !=
        platform::WaitStatus::kSignalled) {
      continue;
    }
    const Stop stop = ReceiveSome();
    if (stop != Stop::kDone) return stop;
  }
}

}  // namespace

void ExchangeWithPlatform(const PlatformExchange& exchange,
                          const std::vector<std::vector<uint8_t>>& packets,
                          const AnnounceInputPacket& announce) {
  if (packets.empty()) return;
  announce(0);
  const std::string where = exchange.address + ":" + std::to_string(exchange.port);
  auto socket = platform::ConnectedSocket::Connect(exchange.address, exchange.port, exchange.limit);
  if (!socket) {
    WriteMessage(StringPrintf("ERROR: Can not connect to the platform %s (error:%d %s)\n", where.c_str(),
                       socket.error().value(), socket.error().message().c_str()));
    return;
  }
  PlatformSession session(exchange, **socket, packets);
  const Millis limit = exchange.limit.count();
  for (std::size_t index = 0; index < packets.size(); ++index) {
    if (index > 0) announce(index);
    if (!session.SendInput(packets[index], index)) return;
    const bool last = index + 1 == packets.size();
    const Millis deadline = session.LastSent() + limit;
    const PlatformSession::Stop stop = session.Until(deadline, last ? exchange.quiet.count() : 0);
    if (stop == PlatformSession::Stop::kClosed || stop == PlatformSession::Stop::kFailed) return;
    if (stop != PlatformSession::Stop::kDeadline) continue;
    session.Expire(deadline);
    if (session.ResultAwaited()) {
      WriteMessage(StringPrintf("WARNING: No RESULT_CODE from the platform within %ld ms\n",
                         static_cast<long>(limit)));
      session.GiveUpResult();
    }
    if (!last && !session.LastConfirmed()) {
      // The platform did not take this packet; the next would not fare better.
      WriteMessage(StringPrintf("WARNING: %zu packets of the input not sent\n",
                         packets.size() - index - 1));
      return;
    }
  }
}
