#include "server/ntcpip_client_thread.h"

#include <algorithm>
#include <mutex>
#include <new>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_dumps.h"
#include "console/service_report.h"
#include "platform/wait_set.h"
#include "server/client_registry.h"
#include "service/record_parser.h"
#include "transport/text.h"
#include "transport/transport_report.h"

namespace {

constexpr std::chrono::milliseconds kClientCloseWait{100};
constexpr std::chrono::milliseconds kIdlePause{1000};

}  // namespace

NTCPIPClientThread::NTCPIPClientThread(std::unique_ptr<platform::ConnectedSocket> socket,
                                       const std::unique_ptr<platform::Event>& clientStopEvent,
                                       const char* peerAddress, uint16_t peerPort,
                                       platform::Event* stopAllEvent)
    : peerAddress_(peerAddress != nullptr ? peerAddress : ""),
      peerPort_(peerPort),
      socket_(std::move(socket)),
      clientStopEvent_(clientStopEvent),
      stopAllEvent_(stopAllEvent) {
  clientIdText_ = StringPrintf("%.6X", ClientId());
}

NTCPIPClientThread::~NTCPIPClientThread() {
  // The body uses the members below; it must have ended before they go.
  if (GetState() == Running) KWorkThread::Stop(kDestructorGracePeriod);
}

uint32_t NTCPIPClientThread::ClientId() const {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this) & 0xFFFFFFFF);
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
  return Start(nullptr);
}

uint32_t NTCPIPClientThread::Run() {
  Next next = Next::kGoOn;
  while (next == Next::kGoOn) {
    std::size_t received = 0;
    const bool complete =
        socketWrapper_->Status() != KClientSocket::kClosed &&
        socketWrapper_->Receive(framer_->ReceivePosition(), framer_->Wanted(), received,
                                StopEvent(), stopAllEvent_);
    // Bytes of an interrupted receive are kept: they were taken from the
    // stream and belong to the packet.
    const PacketFramer::Outcome outcome =
        received > 0 ? framer_->Received(received) : PacketFramer::Outcome::kNeedMore;
    if (outcome != PacketFramer::Outcome::kNeedMore) {
      next = ServeFramerOutcome(outcome);
    } else if (!complete) {
      next = NoData();
    }
  }
  // The wrapper itself stays until the object goes: the work thread may
  // still shut the connection down through it.
  socketWrapper_->Close();
  if (next == Next::kEndAndHandOver) OnThreadExit();
  return 0;
}

NTCPIPClientThread::Next NTCPIPClientThread::ServeFramerOutcome(PacketFramer::Outcome outcome) {
  if (outcome == PacketFramer::Outcome::kPacket) {
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

// The dump, the validating result and the reports of one packet, and the
// dump of its confirmation, are formatted first and written as one block, so
// no other thread's output falls between them. A failed send is logged
// after the block.
bool NTCPIPClientThread::ReportPacket() {
  const std::span<const uint8_t> packet = framer_->Bytes();
  const auto count = static_cast<uint16_t>(packet.size());
  PacketHolder holder;
  const uint8_t parsed = ParseFrameData(packet.data(), count, framer_->Header(), holder);
  std::string block = FormatPacketDump(packet);
  block += MalformedRecordAreaText(holder);
  block += FormatTransportResult(framer_->ResultCode(), framer_->Header(), clientIdText_.c_str());
  if (serviceReport_) block += FormatServiceLayerReport(parsed, holder);
  std::string failure;
  if (confirmations_ && NeedsConfirmation(framer_->ResultCode(), framer_->Header())) {
    Confirm(parsed, holder, block, failure);
  }
  ReleasePacket(holder);
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteText(block);
  }
  if (failure.empty()) return true;
  LogLine(clientIdText_.c_str(), "%s", failure.c_str());
  return false;
}

void NTCPIPClientThread::Confirm(uint8_t parseResult, const PacketHolder& parsed,
                                 std::string& block, std::string& failure) {
  EGTS::bytestream confirmation;
  if (ComposeConfirmation(framer_->Header(), parseResult, parsed, confirmationCounters_,
                          confirmation) != 0) {
    return;
  }
  const std::vector<uint8_t>& bytes = confirmation.bytes;
  std::error_code error;
  switch (socketWrapper_->SendAll(bytes.data(), bytes.size(), kSendLimit, StopEvent(),
                                  stopAllEvent_, error)) {
    case KClientSocket::SendResult::kSent:
      block += FormatResponseDump(bytes);
      return;
    case KClientSocket::SendResult::kFailed:
      failure = StringPrintf("ERROR: Can not send the confirmation (error:%d)\n", error.value());
      return;
    case KClientSocket::SendResult::kTimedOut:
      failure = StringPrintf(
          "ERROR: Can not send the confirmation: the terminal took nothing for %ld ms\n",
          static_cast<long>(kSendLimit.count()));
      return;
    case KClientSocket::SendResult::kInterrupted:
      // A stop request: the loop sees it at its next receive.
      return;
  }
}

void NTCPIPClientThread::ReportPart() {
  std::string text = FormatPartDump(framer_->Bytes());
  text += FormatTransportResult(framer_->ResultCode(), framer_->Header(), clientIdText_.c_str());
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(text);
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
