// The work thread's loop: one wait over all its events, one event served
// per wake-up, the lowest position first.

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <new>

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

  uint32_t cause = 0;
  for (bool running = true; running;) {
    const platform::WaitResult woken = waitSet_.Wait();
    if (woken.status == platform::WaitStatus::kFailed) {
      cause = kWaitFailedCause;
      break;
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
        ScanIncomingDirectory();
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
    EGTS::Subrecord_COMMAND_DATA command;
    {
      platform::MutexHold hold(*QueueLock, kQueueLockLimit);
      if (!hold.Acquired() || commandQueue_.empty()) return;
      command = std::move(commandQueue_.front());
      commandQueue_.pop_front();
    }
    WriteCommandPacket(command);
  }
}

void NWorkThread::AcceptConnection() {
  // Only this thread changes the registry while it runs.
  const std::size_t clients = clients_.size();
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
  if (clients >= kMaxClients) {
    LogLine(kWorkThreadSource, "WARNING: Too many connections (%lu). This connection was rejected\n",
            static_cast<unsigned long>(clients));
    socket.Shutdown(platform::ShutdownDirection::kBoth);
    return;
  }
  std::unique_ptr<NTCPIPClientThread> client(new (std::nothrow) NTCPIPClientThread(
      std::move(accepted->socket), ClientStopEvent, address.c_str(), peer.port, stopAllEvent_));
  if (client) {
    client->SetReportOptions(report_);
    client->SetConfirmations(confirmations_);
  }
  if (!client || client->StartClient() == 0) {
    LogLine(kWorkThreadSource, "ERROR: Can not Create Client Object\n");
    // Closing the client (or the socket it never took) ends the connection.
    if (!client) socket.Shutdown(platform::ShutdownDirection::kBoth);
    return;
  }
  const uint32_t id = client->ClientId();
  if (!RegisterClient(client)) {
    // The client finds the connection closed, ends and is reaped.
    LogLine(kWorkThreadSource, "ERROR: Can not get access to clients storage\n");
    client->ShutdownConnection();
    client.release();
    return;
  }
  LogLine(kWorkThreadSource, "INFO: New Client Object created %.6X\n", id);
}

bool NWorkThread::RegisterClient(std::unique_ptr<NTCPIPClientThread>& client) {
  platform::MutexHold hold(*ClientSyncObject(), kRegisterLockLimit);
  if (!hold.Acquired()) return false;
  clients_.insert(client.release());
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
