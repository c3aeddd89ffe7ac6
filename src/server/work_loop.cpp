// The work thread's loop: one wait over all its events, one event served
// per wake-up, the lowest position first.

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <ctime>
#include <new>
#include <optional>

#include "console/log_line.h"
#include "server/client_registry.h"
#include "server/nwork_thread.h"

void NWorkThread::BuildWaitSet() {
  waitSet_.Clear();
  waitSources_.clear();
  auto add = [this](platform::Waitable* object, Source source) {
    if (object != nullptr && waitSet_.Add(*object)) waitSources_.push_back(source);
  };
  add(StopEvent(), Source::kStop);
  add(QueueEvent.get(), Source::kQueue);
  add(stopAllEvent_, Source::kStopAll);
  add(changeNotification_.get(), Source::kDirectory);
  // Connections are taken only when their clients can be registered and
  // reaped: a listener whose set-up failed later on stays out.
  if (listener_ && listener_->Status() == KServerSocket::kListening && ClientStopEvent &&
      ClientSyncObject() != nullptr) {
    add(listener_->AcceptEvent(), Source::kAccept);
  }
  add(ClientStopEvent.get(), Source::kClientStop);
}

uint32_t NWorkThread::Run() {
  BuildWaitSet();
  fileSequence_ = 1;
  counters_ = CommandCounters{};
  counters_.commandId = static_cast<uint16_t>(std::time(nullptr) & 0x0FFF);

  // The files that were waiting before the watch began.
  if (changeNotification_) ScanIncomingDirectory({{}, true});

  uint32_t cause = 0;
  for (bool running = true; running;) {
    const platform::WaitResult woken = waitSet_.Wait(UntilNextFileTry());
    if (woken.status == platform::WaitStatus::kFailed) {
      cause = kWaitFailedCause;
      break;
    }
    if (woken.status == platform::WaitStatus::kTimedOut) {
      ScanIncomingDirectory({});  // a held file is due
      continue;
    }
    if (woken.status != platform::WaitStatus::kSignalled) continue;
    switch (waitSources_[woken.position]) {
      case Source::kStop:
      case Source::kStopAll:
        running = false;
        break;
      case Source::kQueue:
        TakeCommands();
        break;
      case Source::kDirectory:
        ScanIncomingDirectory(changeNotification_->TakeChanges());
        break;
      case Source::kAccept:
        AcceptConnection();
        break;
      case Source::kClientStop:
        ReapClients();
        break;
    }
  }
  LogLine(kWorkThreadSource, "INFO: Stoped with cause %lu\n", static_cast<unsigned long>(cause));
  return cause;
}

// Takes every queued command, one after another in queue order, so that
// none waits for a later signal or is left behind at exit.
void NWorkThread::TakeCommands() {
  QueueEvent->Reset();
  if (!QueueLock) return;
  for (;;) {
    std::optional<EGTS::Subrecord_COMMAND_DATA> command;
    {
      platform::MutexHold hold(*QueueLock, kQueueLockLimit);
      if (!hold.Acquired() || commandQueue_.empty()) return;
      command.emplace(commandQueue_.front());
      commandQueue_.pop_front();
    }
    WriteCommandPacket(*command);
  }
}

void NWorkThread::ServeWaitingConnections() {
  if (!listener_ || std::find(waitSources_.begin(), waitSources_.end(), Source::kAccept) ==
                        waitSources_.end()) {
    return;
  }
  // A burst of knocks is bounded, so that the files go on too.
  for (int i = 0; i < KServerSocket::kBacklog; ++i) {
    if (listener_->AcceptEvent()->Wait(std::chrono::milliseconds(0)) !=
        platform::WaitStatus::kSignalled) {
      return;
    }
    AcceptConnection();
  }
}

void NWorkThread::AcceptConnection() {
  auto accepted = listener_->Accept();
  if (!accepted) {
    // Another wake-up may already have taken the connection.
    if (accepted.error().value() == EAGAIN) return;
    LogLine(kWorkThreadSource, "ERROR: Can not accept incomming connection (error:%lu)\n",
            static_cast<unsigned long>(listener_->LastError()));
    return;
  }
  const platform::PeerAddress& peer = accepted->peer;
  const std::string address = StringPrintf("%u.%u.%u.%u", peer.octets[0], peer.octets[1],
                                           peer.octets[2], peer.octets[3]);
  LogLine(kWorkThreadSource, "INFO: New incomming TCP/IP connection detected from %s:%u\n",
          address.c_str(), static_cast<unsigned>(peer.port));
  platform::ConnectedSocket& socket = *accepted->socket;  // until a client takes it
  // Only this thread changes the registry while it runs. Connections that
  // have ended but wait to be reaped (their event comes after the accept
  // event) give up their slots first.
  if (clients_.size() >= kMaxClients) ReapClients();
  if (clients_.size() >= kMaxClients && !MakeRoom()) {
    LogLine(kWorkThreadSource, "WARNING: Too many connections (%lu). This connection was rejected\n",
            static_cast<unsigned long>(clients_.size()));
    socket.Shutdown(platform::ShutdownDirection::kBoth);
    return;
  }
  // Ids are never given twice in a run, so an id names one connection for
  // good (a `send` can not reach a later terminal).
  const uint32_t id = ++lastClientId_;
  std::unique_ptr<NTCPIPClientThread> client(new (std::nothrow) NTCPIPClientThread(
      std::move(accepted->socket), ClientStopEvent, address.c_str(), peer.port, stopAllEvent_, id,
      limits_.notAuthorized, road_));
  if (!client || client->StartClient() == 0) {
    LogLine(kWorkThreadSource, "ERROR: Can not Create Client Object\n");
    // Closing the client (or the socket it never took) ends the connection.
    if (!client) socket.Shutdown(platform::ShutdownDirection::kBoth);
    return;
  }
  if (!RegisterClient(client)) {
    // The client finds the connection closed, ends and is reaped.
    LogLine(kWorkThreadSource, "ERROR: Can not get access to clients storage\n");
    client->ShutdownConnection();
    client->Named();
    client.release();
  }
}

bool NWorkThread::MakeRoom() {
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr) return false;
  NTCPIPClientThread* idlest = nullptr;
  {
    platform::MutexHold hold(*sync, kRegisterLockLimit);
    if (!hold.Acquired()) return false;
    for (NTCPIPClientThread* client : clients_) {
      // One that ended frees its slot when it is reaped.
      if (ClosedClients().count(client) != 0) continue;
      if (idlest == nullptr || client->LastPacketAt() < idlest->LastPacketAt()) idlest = client;
    }
  }
  if (idlest == nullptr) return false;
  const int64_t quietFor = session::SteadyNow() - idlest->LastPacketAt();
  if (quietFor < limits_.idle.count()) return false;
  CloseIdleClient(idlest, quietFor);
  return true;
}

void NWorkThread::CloseIdleClient(NTCPIPClientThread* client, int64_t quietFor) {
  const uint32_t id = client->ClientId();
  LogLine(kWorkThreadSource,
          "WARNING: Connection %.6X closed to make room: no complete packet for %lld ms\n", id,
          static_cast<long long>(quietFor));
  platform::Mutex& sync = *ClientSyncObject();
  {
    platform::MutexHold hold(sync);
    clients_.erase(client);
  }
  // Stopped without the lock: a client that ends on its own just now waits
  // for it to hand itself over, and is taken out of ClosedClients below.
  client->Stop(kClientGracePeriod);
  {
    platform::MutexHold hold(sync);
    ClosedClients().erase(client);
  }
  delete client;
  LogLine(kWorkThreadSource, "INFO: Connection closed %.6X\n", id);
}

// The line is written, and the client let go, under the lock: once it is
// released the client may be stopped and deleted (Shutdown).
bool NWorkThread::RegisterClient(std::unique_ptr<NTCPIPClientThread>& client) {
  platform::MutexHold hold(*ClientSyncObject(), kRegisterLockLimit);
  if (!hold.Acquired()) return false;
  NTCPIPClientThread* registered = client.release();
  clients_.insert(registered);
  LogLine(kWorkThreadSource, "INFO: New Client Object created %.6X\n", registered->ClientId());
  registered->Named();
  return true;
}

void NWorkThread::ReapClients() {
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr) return;
  platform::MutexHold hold(*sync, kReapLockLimit);
  if (!hold.Acquired()) return;
  std::set<NTCPIPClientThread*>& closed = ClosedClients();
  while (!closed.empty()) {
    NTCPIPClientThread* client = *closed.begin();
    clients_.erase(client);
    const uint32_t id = client->ClientId();
    delete client;
    LogLine(kWorkThreadSource, "INFO: Connection closed %.6X\n", id);
    closed.erase(closed.begin());
  }
}

std::vector<NTCPIPClientThread::Summary> NWorkThread::ClientSummaries() {
  std::vector<NTCPIPClientThread::Summary> summaries;
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr) return summaries;
  platform::MutexHold hold(*sync, kRegisterLockLimit);
  if (!hold.Acquired()) return summaries;
  for (NTCPIPClientThread* client : clients_) {
    // A client that ended waits to be reaped; it is no connection any more.
    if (ClosedClients().count(client) == 0) summaries.push_back(client->GetSummary());
  }
  std::sort(summaries.begin(), summaries.end(),
            [](const auto& a, const auto& b) { return a.id < b.id; });
  return summaries;
}

SendOutcome NWorkThread::HandToClient(
    const std::string& clientId,
    const std::function<NTCPIPClientThread::Queued(NTCPIPClientThread&)>& hand) {
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr) return SendOutcome::kNoConnection;
  // Clients are deleted only under this lock, so the one found stays while
  // the command is handed over.
  platform::MutexHold hold(*sync, kRegisterLockLimit);
  if (!hold.Acquired()) return SendOutcome::kLockTimedOut;
  for (NTCPIPClientThread* client : clients_) {
    if (StringPrintf("%.6X", client->ClientId()) != clientId) continue;
    // A connection that ended is no connection any more.
    if (ClosedClients().count(client) != 0) return SendOutcome::kNoConnection;
    switch (hand(*client)) {
      case NTCPIPClientThread::Queued::kYes:
        return SendOutcome::kQueued;
      case NTCPIPClientThread::Queued::kClosing:
        return SendOutcome::kNoConnection;
      case NTCPIPClientThread::Queued::kFull:
        return SendOutcome::kNotAccepted;
    }
    return SendOutcome::kNotAccepted;
  }
  return SendOutcome::kNoConnection;
}

SendOutcome NWorkThread::SendCommand(const std::string& clientId,
                                     const EGTS::Subrecord_COMMAND_DATA& command, uint32_t& cid,
                                     const std::function<void()>& accepted) {
  return HandToClient(clientId, [&](NTCPIPClientThread& client) {
    uint32_t expected = nextConnectionCommandId_.load();
    if (expected == 0) {
      // Apart from the CIDs of the outgoing files, which count from the low
      // 12 bits of the start time.
      nextConnectionCommandId_.compare_exchange_strong(
          expected, 0x1000u + static_cast<uint32_t>(std::time(nullptr) & 0x0FFF));
    }
    cid = nextConnectionCommandId_.fetch_add(1);
    return client.QueueCommand(command, cid, accepted);
  });
}

SendOutcome NWorkThread::SendUpload(const std::string& clientId, NTCPIPClientThread::Upload upload,
                                    const std::function<void()>& accepted) {
  return HandToClient(clientId, [&](NTCPIPClientThread& client) {
    return client.QueueUpload(std::move(upload), accepted);
  });
}
