#include "server/ntcpip_client_thread.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_dumps.h"
#include "platform/wait_set.h"
#include "server/client_registry.h"
#include "session/run_driver.h"
#include "util/text.h"
#include "transport/transport_report.h"

namespace {

constexpr std::chrono::milliseconds kClientCloseWait{100};

constexpr std::chrono::milliseconds kIdlePause{1000};

constexpr std::chrono::milliseconds kRunsPoll{50};

}  // namespace

NTCPIPClientThread::NTCPIPClientThread(std::unique_ptr<platform::ConnectedSocket> socket,
                                       const std::unique_ptr<platform::Event>& clientStopEvent,
                                       const char* peerAddress, uint16_t peerPort,
                                       platform::Event* stopAllEvent, uint32_t clientId,
                                       std::chrono::milliseconds notAuthorized,
                                       const PacketRoad& road)
    : clientId_(clientId),
      clientIdText_(StringPrintf("%.6X", clientId)),
      peerAddress_(peerAddress != nullptr ? peerAddress : ""),
      peerPort_(peerPort),
      socket_(std::move(socket)),
      clientStopEvent_(clientStopEvent),
      stopAllEvent_(stopAllEvent),
      notAuthorized_(notAuthorized),
      lastPacketAt_(session::SteadyNow()),
      road_(road) {
  // Listed by `clients` from the moment it is registered.
  summary_.id = clientId_;
  summary_.peer = peerAddress_ + ":" + std::to_string(peerPort_);
}

NTCPIPClientThread::~NTCPIPClientThread() {
  // The body uses the members below; it must have ended before they go.
  if (GetState() == Running) KWorkThread::Stop(kDestructorGracePeriod);
}

int NTCPIPClientThread::StartClient() {
  if (socketWrapper_) socketWrapper_.reset();
  socketWrapper_.reset(new (std::nothrow) KClientSocket(std::move(socket_)));
  if (!socketWrapper_) {
    LogLine(clientIdText_.c_str(),
            "ERROR: Can not create Client Socket Object 'not enough memory'\n");
    return 0;
  }
  socketWrapper_->SetCloseWait(kClientCloseWait);
  socketWrapper_->SetGraceful(true);
  if (!framer_) framer_.reset(new (std::nothrow) PacketFramer);
  if (!framer_) return 0;
  auto named = platform::Event::Create(platform::Event::Kind::kManualReset);
  if (!named) return 0;
  named_ = std::move(*named);
  if (talk_.confirm) {
    auto wake = platform::Event::Create(platform::Event::Kind::kAutoReset);
    if (!wake) return 0;
    wake_ = std::move(*wake);
    session::PlatformPolicy policy;
    policy.authorizationResult = talk_.authorizationResult;
    // The runs answer the authorization themselves.
    policy.answersAuthorization = talk_.runs == nullptr;
    policy.authorizationLimit = notAuthorized_.count();
    conversation_ = std::make_unique<session::PlatformConversation>(session::SteadyNow(), policy);
  }
  return Start(nullptr);
}

void NTCPIPClientThread::Named() { named_->Set(); }

uint32_t NTCPIPClientThread::Run() {
  {
    platform::WaitSet gate;
    gate.Add(*named_);
    if (platform::Event* stop = StopEvent()) gate.Add(*stop);
    if (stopAllEvent_ != nullptr) gate.Add(*stopAllEvent_);
    gate.Wait();  // a stop is seen by the first receive
  }
  if (talk_.runs != nullptr && conversation_) talk_.runs->Connected(clientId_);
  Next next = Next::kGoOn;
  while (next == Next::kGoOn) {
    // The conversation's deadlines bound the wait for bytes; they and the
    // queued commands are served between packets, even while a terminal
    // keeps sending.
    std::chrono::milliseconds limit = platform::kNoTimeLimit;
    if (conversation_) {
      if (!ServeConversation()) {
        next = Next::kEndAndHandOver;
        break;
      }
      const session::Millis deadline = conversation_->NextDeadline();
      if (deadline >= 0) {
        limit = std::chrono::milliseconds(std::max<session::Millis>(1, deadline - session::SteadyNow()));
      }
      // Conformance runs keep timers of their own: looked at often.
      if (talk_.runs != nullptr) limit = std::min(limit, kRunsPoll);
    }
    std::size_t received = 0;
    const bool complete =
        socketWrapper_->Status() != KClientSocket::kClosed &&
        socketWrapper_->Receive(framer_->ReceivePosition(), framer_->Wanted(), received,
                                StopEvent(), stopAllEvent_, wake_.get(), limit);
    // Bytes of an interrupted receive are kept: they were taken from the
    // stream and belong to the packet.
    const PacketFramer::Outcome outcome =
        received > 0 ? framer_->Received(received) : PacketFramer::Outcome::kNeedMore;
    if (outcome != PacketFramer::Outcome::kNeedMore) {
      next = ServeFramerOutcome(outcome);
    } else if (!complete && socketWrapper_->Status() != KClientSocket::kWoken) {
      next = NoData();
    }
  }
  {
    std::lock_guard<std::mutex> hold(outboxLock_);
    closing_ = true;
    outbox_.clear();
    uploads_.clear();
  }
  // The wrapper itself stays until the object goes: the work thread may
  // still shut the connection down through it.
  socketWrapper_->Close();
  if (talk_.runs != nullptr && conversation_) talk_.runs->Closed(clientId_);
  if (next == Next::kEndAndHandOver) OnThreadExit();
  return 0;
}

NTCPIPClientThread::Next NTCPIPClientThread::ServeFramerOutcome(PacketFramer::Outcome outcome) {
  if (outcome == PacketFramer::Outcome::kPacket) {
    lastPacketAt_.store(session::SteadyNow());
    return ReportPacket() ? Next::kGoOn : Next::kEndAndHandOver;
  }
  ReportPart();
  return Next::kEndAndHandOver;
}

NTCPIPClientThread::Next NTCPIPClientThread::NoData() {
  if (socketWrapper_->Status() == KClientSocket::kClosed) {
    LogLine(clientIdText_.c_str(), "INFO: Connection closed by remote side\n");
    return Next::kEndAndHandOver;
  }
  platform::WaitSet stops;
  if (platform::Event* stop = StopEvent()) stops.Add(*stop);
  if (stopAllEvent_ != nullptr) stops.Add(*stopAllEvent_);
  if (stops.Wait(kIdlePause).status == platform::WaitStatus::kSignalled) {
    LogLine(clientIdText_.c_str(), "INFO: Stop signal received\n");
    return Next::kEnd;
  }
  return Next::kGoOn;
}

pipeline::PacketIn NTCPIPClientThread::PacketOf(const char* source,
                                                std::span<const uint8_t> bytes) const {
  pipeline::PacketIn in;
  in.bytes = bytes;
  in.time = platform::CurrentSystemTime();
  if (report_.json) {
    in.source = source;
    in.extra = {{"client", clientIdText_}, {"peer", peerAddress_ + ":" + std::to_string(peerPort_)}};
  }
  in.resultPrefix = clientIdText_.c_str();
  return in;
}

// The dump, the validating result and the reports of one packet, the dump
// of its confirmation and of the authorization answer it asked for, are
// formatted first and written as one block, so no other thread's output
// falls between them. Failures, the conversation's findings and the
// tracks' are logged after the block.
bool NTCPIPClientThread::ReportPacket() {
  const std::span<const uint8_t> packet = framer_->Bytes();
  const TransportHeader& header = framer_->Header();
  pipeline::PacketIn in = PacketOf("tcp", packet);
  in.checked = pipeline::HeaderCheck{framer_->ResultCode(), header};
  // The confirmation and the conversation read the standard's subrecords.
  in.needsStandard = talk_.confirm;
  if (!report_.json) in.textLead = FormatPacketDump(packet);
  if (conversation_) in.origin.TID = conversation_->Terminal().Tid();
  in.origin.label = summary_.peer;
  pipeline::PacketOut taken = pipeline_.Take(in);

  std::string block = std::move(taken.block);
  std::string failure;
  session::Findings findings;
  bool close = false;
  if (conversation_) {
    session::Step step = conversation_->Received(framer_->ResultCode(), header, taken.frameResult,
                                                 taken.holder, session::SteadyNow());
    // Before the replies and the block: whoever got an answer or reads the
    // report finds the summary counted.
    UpdateSummary();
    close = SendStep(step, block, failure, findings) && step.close;
    if (talk_.runs != nullptr && failure.empty()) {
      // The runs answer the authorization and send what their steps send.
      talk_.runs->Received(clientId_, header, taken.holder);
      close = !SendRunPackets(block, failure, findings);
    }
  }
  for (session::Finding& finding : taken.trackFindings) findings.push_back(std::move(finding));
  WriteBlock(block);
  LogAll(failure, findings);
  return failure.empty() && !close;
}

void NTCPIPClientThread::WriteBlock(const std::string& block) const {
  if (block.empty()) return;
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report_.json) {
    std::fwrite(block.data(), 1, block.size(), stdout);
    std::fflush(stdout);
  } else {
    WriteText(block);
  }
}

void NTCPIPClientThread::LogAll(const std::string& failure,
                                const session::Findings& findings) {
  for (const session::Finding& finding : findings) {
    LogLine(clientIdText_.c_str(), "%s", session::FindingLine(finding).c_str());
  }
  if (!failure.empty()) LogLine(clientIdText_.c_str(), "%s", failure.c_str());
}

bool NTCPIPClientThread::SendStep(session::Step& step, std::string& block, std::string& failure,
                                  session::Findings& findings) {
  for (session::Finding& finding : step.findings) findings.push_back(std::move(finding));
  for (session::Reply& reply : step.replies) {
    const bool sent = reply.confirmation ? SendConfirmation(reply.bytes, block, failure)
                                         : SendOwn(reply.bytes, block, failure);
    if (!sent) return false;
    for (session::Finding& finding : reply.whenSent) findings.push_back(std::move(finding));
  }
  return true;
}

bool NTCPIPClientThread::SendConfirmation(const std::vector<uint8_t>& bytes, std::string& block,
                                          std::string& failure) {
  std::error_code error;
  switch (socketWrapper_->SendAll(bytes.data(), bytes.size(), kSendLimit, StopEvent(),
                                  stopAllEvent_, error)) {
    case KClientSocket::SendResult::kSent:
      block += OwnPacket("response", bytes, false).block;
      return true;
    case KClientSocket::SendResult::kFailed:
      failure = StringPrintf("ERROR: Can not send the confirmation (error:%d)\n", error.value());
      return false;
    case KClientSocket::SendResult::kTimedOut:
      failure = StringPrintf(
          "ERROR: Can not send the confirmation: the terminal took nothing for %ld ms\n",
          static_cast<long>(kSendLimit.count()));
      return false;
    case KClientSocket::SendResult::kInterrupted:
      // A stop request: the loop sees it at its next receive.
      return false;
  }
  return false;
}

// A packet we made is reported as the packet it is: its header checked and
// its frame data parsed once (with the standard's subrecords when the
// conversation reads them); in text its dump alone.
pipeline::PacketOut NTCPIPClientThread::OwnPacket(const char* source,
                                                  std::span<const uint8_t> bytes,
                                                  bool forConversation) const {
  pipeline::PacketIn in = PacketOf(source, bytes);
  in.dumpOnly = true;
  in.carriesPositions = false;
  in.needsStandard = forConversation;
  in.reportsStandardParse = forConversation;
  if (!report_.json) {
    in.textLead = forConversation ? FormatSentDump(bytes) : FormatResponseDump(bytes);
  }
  return pipeline_.Take(in);
}

void NTCPIPClientThread::ReportPart() {
  pipeline::PacketIn in = PacketOf("tcp", framer_->Bytes());
  in.checked = pipeline::HeaderCheck{framer_->ResultCode(), framer_->Header()};
  in.whole = false;
  if (!report_.json) in.textLead = FormatPartDump(framer_->Bytes());
  WriteBlock(pipeline_.Take(in).block);
}

void NTCPIPClientThread::ShutdownConnection() {
  if (socketWrapper_) socketWrapper_->Shutdown(platform::ShutdownDirection::kBoth);
}

void NTCPIPClientThread::OnThreadExit() {
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr || sync->Lock() != platform::WaitStatus::kSignalled) return;
  // Read now: once the lock is released the work thread may reap this
  // object. The event belongs to the work thread and outlives its clients.
  platform::Event* clientStop = clientStopEvent_.get();
  ClosedClients().insert(this);
  sync->Unlock();
  if (clientStop != nullptr) clientStop->Set();
}
