// The conversation side of a terminal connection (-r): packets of our own
// (the authorization answer, the operator's commands), the conversation's
// deadlines, and what the operator's console sees of the connection.

#include <algorithm>
#include <mutex>

#include "compose/conversation_packets.h"
#include "compose/record_packet.h"
#include "service/subrecord_types.h"
#include "console/console_lock.h"
#include "console/log_line.h"
#include "server/ntcpip_client_thread.h"
#include "session/run_driver.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace {

// The command code of a command's CD: ADR u16, SZ/ACT u8, then CCD u16.
uint16_t CommandCode(const EGTS::Subrecord_COMMAND_DATA& command) {
  return command.CD.size() >= 5 ? ReadU16(command.CD.data() + 3) : 0;
}

}  // namespace

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
  if (conversation_) conversation_->FromPlatform(own.header, own.holder, session::SteadyNow());
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
    EGTS::bytestream packet;
    if (ComposeConnectionCommand(queued.command, queued.cid, conversation_->Counters(), packet) !=
        0) {
      continue;
    }
    if (!SendOwn(packet.bytes, block, failure)) break;
    conversation_->CommandSent(queued.cid, CommandCode(queued.command));
  }
  for (const Upload& upload : uploads) {
    if (!failure.empty() || !SendUpload(upload, block, failure)) break;
  }
  const bool runsClose = talk_.runs != nullptr && failure.empty() && !SendRunPackets(block, failure, findings);
  conversation_->Expire(session::SteadyNow(), findings);
  // The standard has the platform close a connection that did not
  // authorize in time (EGTS_SL_NOT_AUTH_TO).
  const bool overdue = conversation_->AuthorizationOverdue();
  if (overdue) {
    findings.push_back(session::Info(
        "Connection closed: no authorization within %lld ms (EGTS_SL_NOT_AUTH_TO)",
        static_cast<long long>(conversation_->AuthorizationLimit())));
  }
  WriteBlock(block);
  LogAll(failure, findings);
  if (!commands.empty()) UpdateSummary();
  return failure.empty() && !overdue && !runsClose;
}

bool NTCPIPClientThread::SendUpload(const Upload& upload, std::string& block,
                                    std::string& failure) {
  // Parts grow past the unit's block when EPQ's 16 bits could not count them.
  const uint32_t partSize = std::max<uint32_t>(
      PartSizeFor(conversation_->BlockSize()),
      static_cast<uint32_t>((upload.object.size() + 0xFFFE) / 0xFFFF));
  const std::size_t parts = PartCount(upload.object.size(), partSize);
  ++objectId_;
  for (std::size_t part = 0; part < parts; ++part) {
    const std::vector<uint8_t> srd =
        ObjectPartSrd(upload.object, upload.header, objectId_, partSize, part, 1);  // PN from 1
    auto packet = ComposeRecordPacket(EGTS::EGTS_FIRMWARE_SERVICE, {{kServicePartData, srd}},
                                      conversation_->Counters());
    if (!packet) continue;  // a part always fits: partSize is below a packet's limit
    if (!SendOwn(packet->bytes, block, failure)) return false;
    conversation_->PartSent(packet->rn, objectId_, part, parts);
  }
  return true;
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
  summary_.authorized = conversation_->Authorized();
  summary_.tid = conversation_->Tid();
  summary_.imei = conversation_->Imei();
  summary_.packets = conversation_->PacketsReceived();
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
