#include "server/nwork_thread.h"

#include <new>

#include "console/log_line.h"
#include "platform/directory.h"
#include "server/client_registry.h"

namespace {

constexpr long kPathNotFound = 3;

// Creates one of the server's directories. Only a missing parent stops the
// set-up; a directory that exists already is what is wanted.
bool CreateServerDirectory(const char* format, const std::string& path) {
  if (platform::CreateDirectory(path).outcome != platform::DirectoryCreation::kParentMissing) {
    return true;
  }
  LogLine(kWorkThreadSource, format, path.c_str(), kPathNotFound);
  return false;
}

}  // namespace

NWorkThread::NWorkThread(const char* incDirectory, const char* workDirectory,
                         const char* outDirectory, const char* bindAddress, uint16_t port,
                         platform::Event* stopAllEvent, const PacketRoad& road,
                         const ServerLimits& limits)
    : bindAddress_(bindAddress != nullptr ? bindAddress : ""),
      port_(port),
      stopAllEvent_(stopAllEvent),
      limits_(limits),
      road_(road) {
  if (incDirectory != nullptr) {
    incDirectory_ = incDirectory;
    workDirectory_ = workDirectory != nullptr ? workDirectory : "";
    outDirectory_ = outDirectory != nullptr ? outDirectory : "";
  }
}

NWorkThread::~NWorkThread() {
  if (GetState() == Running) {
    if (stopAllEvent_ != nullptr) stopAllEvent_->Set();
    KWorkThread::Stop(1000);
  }
  ReleaseResources();
  // The Stop override has deleted the clients; what is left is not ours.
  clients_.clear();
}

int NWorkThread::Stop(uint32_t milliseconds) {
  if (stopAllEvent_ != nullptr) stopAllEvent_->Set();
  StopClients(platform::kNoTimeLimit);
  const int result = KWorkThread::Stop(milliseconds);
  // A client accepted while the thread was ending; the thread is gone now,
  // so nobody else uses ClientSyncObject any more and it can be closed.
  if (ClientSyncObject() != nullptr) {
    StopClients(kReapLockLimit);
    CloseClientSyncObject();
  }
  return result;
}

void NWorkThread::StopClients(std::chrono::milliseconds lockLimit) {
  platform::Mutex* sync = ClientSyncObject();
  if (sync == nullptr) return;
  platform::MutexHold hold(*sync, lockLimit);
  if (!hold.Acquired()) return;
  for (NTCPIPClientThread* client : clients_) {
    client->Stop(kClientGracePeriod);
    ClosedClients().erase(client);
    delete client;
  }
  clients_.clear();
}

void NWorkThread::ReleaseResources() {
  listener_.reset();
  changeNotification_.reset();
  QueueEvent.reset();
  QueueLock.reset();
  ClientStopEvent.reset();
}

QueueOutcome NWorkThread::QueueCommand(const EGTS::Subrecord_COMMAND_DATA& command) {
  if (!QueueLock) return QueueOutcome::kNoQueue;
  {
    platform::MutexHold hold(*QueueLock, kQueueLockLimit);
    if (!hold.Acquired()) return QueueOutcome::kLockTimedOut;
    commandQueue_.push_back(command);
  }
  if (QueueEvent) QueueEvent->Set();
  return QueueOutcome::kQueued;
}

int StartWorkThread(NWorkThread& thread) { return thread.SetUp(); }

int NWorkThread::SetUp() {
  ReleaseResources();
  waitSet_.Clear();
  waitSources_.clear();

  const bool listenerUp = port_ == 0 || SetUpListener();
  if (!incDirectory_.empty()) {
    // With a working directory service the server runs without a listener.
    if (!SetUpDirectoryService()) return 0;
  } else if (!listenerUp) {
    return 0;
  }

  auto queueEvent = platform::Event::Create(platform::Event::Kind::kManualReset);
  if (!queueEvent) {
    LogLine(kWorkThreadSource, "ERROR: Can not create event object (err:%ld)\n",
            static_cast<long>(queueEvent.error().value()));
    return 0;
  }
  QueueEvent = std::move(*queueEvent);
  // The files already waiting are taken by the first scan of Run.
  return Start(nullptr);
}

bool NWorkThread::SetUpListener() {
  listener_.reset(new (std::nothrow) KServerSocket(port_, bindAddress_));
  if (!listener_) {
    LogLine(kWorkThreadSource, "ERROR: Server Socket Initialization failed 'not enough memory'\n");
    return false;
  }
  if (listener_->Status() != KServerSocket::kListening) {
    LogLine(kWorkThreadSource, "ERROR: Server Socket Initialization failed (error:%lu)\n",
            static_cast<unsigned long>(listener_->LastError()));
    return false;
  }
  auto clientStop = platform::Event::Create(platform::Event::Kind::kAutoReset);
  if (!clientStop) {
    LogLine(kWorkThreadSource, "ERROR: Can not create Client Stop Event (le:%lu)\n",
            static_cast<unsigned long>(clientStop.error().value()));
    return false;
  }
  ClientStopEvent = std::move(*clientStop);
  std::error_code error;
  if (!CreateClientSyncObject(error)) {
    LogLine(kWorkThreadSource, "ERROR: Can not create Client Sync Object (le:%lu)\n",
            static_cast<unsigned long>(error.value()));
    return false;
  }
  return true;
}

bool NWorkThread::SetUpDirectoryService() {
  if (!CreateServerDirectory("ERROR: IncDirectory '%s' is not exists (err:%ld)\n", incDirectory_) ||
      !CreateServerDirectory("ERROR: WorkDirectory '%s' is not exists (err:%ld)\n",
                             workDirectory_) ||
      !CreateServerDirectory("ERROR: OutDirectory '%s' is not exists (err:%ld)\n", outDirectory_)) {
    return false;
  }
  auto notification = platform::ChangeNotification::Watch(incDirectory_);
  if (!notification) {
    LogLine(kWorkThreadSource, "ERROR: Can not set notification on directory '%s' (err:%ld)\n",
            incDirectory_.c_str(), static_cast<long>(notification.error().value()));
    return false;
  }
  changeNotification_ = std::move(*notification);
  auto queueLock = platform::Mutex::Create();
  if (!queueLock) {
    LogLine(kWorkThreadSource, "ERROR: Can not create synchronization object (err:%ld)\n",
            static_cast<long>(queueLock.error().value()));
    return false;
  }
  QueueLock = std::move(*queueLock);
  return true;
}
