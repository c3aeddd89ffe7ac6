#include "app/server_mode.h"

#include <memory>
#include <mutex>
#include <new>

#include "app/operator_console.h"
#include "app/process_state.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "platform/event.h"
#include "session/run_driver.h"
#include "util/text.h"

namespace {

const char* TextOrNull(const std::string& text) { return text.empty() ? nullptr : text.c_str(); }

// The work thread as the operator console sees it: held through
// WorkThreadAccess, so Shutdown cannot delete it while a command is handed
// over.
class WorkThreadDestination final : public CommandDestination {
 public:
  WorkThreadDestination(bool talks, session::RunDriver* runs) : talks_(talks), runs_(runs) {}
  bool Talks() const override { return talks_; }
  bool TakesSms() const override { return runs_ != nullptr; }
  void Sms(const std::vector<uint8_t>& pdu) override { runs_->SmsAnswer(pdu); }
  std::vector<NTCPIPClientThread::Summary> Clients() override {
    WorkThreadAccess access;
    if (!access) return {};
    return access->ClientSummaries();
  }
  SendOutcome SendToClient(const std::string& clientId, const EGTS::Subrecord_COMMAND_DATA& command,
                           uint32_t& cid, const std::function<void()>& accepted) override {
    WorkThreadAccess access;
    if (!access) return SendOutcome::kNoConnection;
    return access->SendCommand(clientId, command, cid, accepted);
  }
  SendOutcome UploadToClient(const std::string& clientId, NTCPIPClientThread::Upload upload,
                             const std::function<void()>& accepted) override {
    WorkThreadAccess access;
    if (!access) return SendOutcome::kNoConnection;
    return access->SendUpload(clientId, std::move(upload), accepted);
  }

  QueueOutcome Readiness() override {
    WorkThreadAccess access;
    if (!access) return QueueOutcome::kNoWorkThread;
    if (access->GetState() != KWorkThread::Running) return QueueOutcome::kNotRunning;
    return QueueOutcome::kQueued;
  }
  QueueOutcome Queue(const EGTS::Subrecord_COMMAND_DATA& command) override {
    WorkThreadAccess access;
    if (!access) return QueueOutcome::kNoWorkThread;
    if (access->GetState() != KWorkThread::Running) return QueueOutcome::kNotRunning;
    return access->QueueCommand(command);
  }

 private:
  bool talks_;
  session::RunDriver* runs_;
};

void StartServer(const StartupSettings& settings, const PacketRoad& road) {
  const bool listening = ServerMode();
  WorkThreadAccess access;
  std::unique_ptr<NWorkThread> thread(new (std::nothrow) NWorkThread(
      TextOrNull(settings.IncDirectory), settings.WorkDirectory.c_str(),
      settings.OutDirectory.c_str(), listening ? settings.BindAddress.c_str() : nullptr,
      listening ? settings.BindPort : 0, StopAllEvent(), road));
  if (!thread) return;
  access.Install(std::move(thread));
  if (StartWorkThread(*access.get()) == 0) WriteMessage("WARNING: can not start work thread\n");
}

}  // namespace

void EnterServerMode(std::string& messages) {
  if (StopAllEvent() != nullptr) {
    SetServerMode(true);  // a later -b: keeps the event of the first
    return;
  }
  auto event = platform::Event::Create(platform::Event::Kind::kManualReset);
  if (!event) {
    messages += StringPrintf("ERROR: Can not create Event Object (le:%lu)\n",
                             static_cast<unsigned long>(event.error().value()));
    return;
  }
  InstallStopAllEvent(std::move(*event));
  SetServerMode(true);
}

bool InServerMode() { return ServerMode(); }

void RunServerMode(const StartupSettings& settings, const PacketRoad& road,
                   const std::function<void(bool quit)>& afterConsole) {
  StartServer(settings, road);
  WorkThreadDestination destination(settings.Confirm, road.talk.runs);
  const bool quit = RunOperatorConsole(destination);
  if (afterConsole) afterConsole(quit);
}
