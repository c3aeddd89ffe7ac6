// The conversation side of a terminal connection (-r): packets of our own
// (the authorization answer, the operator's commands), the conversation's
// deadlines, and what the operator's console sees of the connection.

#include <algorithm>
#include <mutex>

#include "console/console_lock.h"
#include "console/log_line.h"
#include "server/ntcpip_client_thread.h"
#include "session/run_driver.h"
#include "util/text.h"

bool NTCPIPClientThread::SendOwn(const std::vector<uint8_t>& bytes, std::string& block,
                                 std::string& failure) {
  std::error_code error;
  switch (socketWrapper_->SendAll(bytes.data(), bytes.size(), kSendLimit, StopEvent(),
                                  stopAllEvent_, error)) {
    case KClientSocket::SendResult::kSent:
      break;
    case KClientSocket::SendResult::kFailed:
      failure = StringPrintf("ERROR: Can not send to the terminal (error:%d)\n", error.value());
      return false;
    case KClientSocket::SendResult::kTimedOut:
      failure = StringPrintf("ERROR: Can not send to the terminal: it took nothing for %ld ms\n",
                             static_cast<long>(kSendLimit.count()));
      return false;
    case KClientSocket::SendResult::kInterrupted:
      return false;
  }
  pipeline::PacketOut own = OwnPacket("sent", bytes, true);
  if (conversation_) conversation_->Sent(own.header, own.holder, session::SteadyNow());
  block += own.block;
  return true;
}

bool NTCPIPClientThread::ServeConversation() {
  std::deque<QueuedCommand> commands;
  std::deque<Upload> uploads;
  {
    std::lock_guard<std::mutex> hold(outboxLock_);
    commands.swap(outbox_);
    uploads.swap(uploads_);
  }
  std::string block;
  std::string failure;
  session::Findings findings;
  for (const QueuedCommand& queued : commands) {
    session::Step step = conversation_->Command(queued.command, queued.cid);
    if (!SendStep(step, block, failure, findings)) break;
  }
  for (const Upload& upload : uploads) {
    if (!failure.empty()) break;
    session::Step step = conversation_->Upload(upload.object, upload.header);
    if (!SendStep(step, block, failure, findings)) break;
  }
  const bool runsClose =
      talk_.runs != nullptr && failure.empty() && !SendRunPackets(block, failure, findings);
  session::Step tick = conversation_->Tick(session::SteadyNow());
  SendStep(tick, block, failure, findings);
  WriteBlock(block);
  LogAll(failure, findings);
  if (!commands.empty()) UpdateSummary();
  return failure.empty() && !tick.close && !runsClose;
}

bool NTCPIPClientThread::SendRunPackets(std::string& block, std::string& failure,
                                        session::Findings& findings) {
  for (const std::vector<uint8_t>& packet : talk_.runs->Outgoing(clientId_, conversation_->Counters())) {
    if (!SendOwn(packet, block, failure)) return false;
  }
  if (!talk_.runs->WantsClose(clientId_)) return true;
  findings.push_back(session::Info("Connection closed by the conformance run"));
  return false;
}

void NTCPIPClientThread::UpdateSummary() {
  std::lock_guard<std::mutex> hold(summaryLock_);
  const session::TerminalConversation& terminal = conversation_->Terminal();
  summary_.authorized = terminal.Authorized();
  summary_.tid = terminal.Tid();
  summary_.imei = terminal.Imei();
  summary_.packets = terminal.PacketsReceived();
}

NTCPIPClientThread::Summary NTCPIPClientThread::GetSummary() const {
  std::lock_guard<std::mutex> hold(summaryLock_);
  return summary_;
}

// `accepted` runs under outboxLock_: this thread takes the outbox only
// under it, so nothing of the command is sent or dumped before it returns.
NTCPIPClientThread::Queued NTCPIPClientThread::QueueUpload(Upload upload,
                                                           const std::function<void()>& accepted) {
  {
    std::lock_guard<std::mutex> hold(outboxLock_);
    if (closing_) return Queued::kClosing;
    if (!wake_ || uploads_.size() >= kMaxQueuedUploads) return Queued::kFull;
    uploads_.push_back(std::move(upload));
    if (accepted) accepted();
  }
  wake_->Set();
  return Queued::kYes;
}

NTCPIPClientThread::Queued NTCPIPClientThread::QueueCommand(
    const EGTS::Subrecord_COMMAND_DATA& command, uint32_t cid,
    const std::function<void()>& accepted) {
  {
    std::lock_guard<std::mutex> hold(outboxLock_);
    if (closing_) return Queued::kClosing;
    if (!wake_ || outbox_.size() >= kMaxQueuedCommands) return Queued::kFull;
    outbox_.push_back({command, cid});
    if (accepted) accepted();
  }
  wake_->Set();
  return Queued::kYes;
}
