#include "platform/thread.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/event.h"
#include "platform/signal_sets.h"
#include "platform/thread_termination.h"
#include "platform/wait_set.h"

namespace platform {

// Shared by the owner's handle and the thread itself; a parked thread keeps
// it alive for good.
struct ThreadControl {
  Thread::Body body;
  std::unique_ptr<Event> ended;      // set once the body has returned
  std::unique_ptr<Event> terminate;  // set by Terminate; every wait watches it
  std::unique_ptr<Event> parked;     // set by the thread when it is parked
  std::atomic<bool> bodyReturned{false};
  std::atomic<bool> isParked{false};
  std::atomic<uint32_t> exitCode{0};
  pthread_t handle{};
};

namespace {

// The control of the calling thread when the layer started it. A plain
// pointer, so that the freeze signal handler may read it.
thread_local ThreadControl* currentControl = nullptr;

extern "C" void OnFreezeSignal(int) {
  ThreadControl* control = currentControl;
  // A thread past its body only winds down and is left to end.
  if (control == nullptr || control->bodyReturned.load()) return;
  ParkTerminatedThread();
}

void InstallFreezeHandlerOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = OnFreezeSignal;
    sigfillset(&action.sa_mask);  // a parked thread reacts to nothing more
    ::sigaction(FreezeSignal(), &action, nullptr);
  });
}

// Worker threads never take the control signals (they belong to the
// control-event thread) and always take the freeze signal.
void SetWorkerSignalMask() {
  const sigset_t control = ControlSignals();
  ::pthread_sigmask(SIG_SETMASK, &control, nullptr);
}

extern "C" void* ThreadEntry(void* argument) {
  auto* handed = static_cast<std::shared_ptr<ThreadControl>*>(argument);
  const std::shared_ptr<ThreadControl> control = std::move(*handed);
  delete handed;
  SetWorkerSignalMask();
  currentControl = control.get();
  const uint32_t exitCode = control->body();
  control->exitCode.store(exitCode);
  control->bodyReturned.store(true);
  control->ended->Set();
  return nullptr;
}

std::error_code CreateEvents(ThreadControl& control) {
  for (std::unique_ptr<Event>* slot : {&control.ended, &control.terminate, &control.parked}) {
    auto event = Event::Create(Event::Kind::kManualReset);
    if (!event) return event.error();
    *slot = std::move(*event);
  }
  return {};
}

}  // namespace

Waitable* CurrentTerminationRequest() {
  return currentControl != nullptr ? currentControl->terminate.get() : nullptr;
}

void ParkTerminatedThread() {
  ThreadControl* control = currentControl;
  control->isParked.store(true);
  control->parked->Set();
  for (;;) ::pause();
}

Thread::Thread(std::shared_ptr<ThreadControl> control) : control_(std::move(control)) {}

Result<std::unique_ptr<Thread>> Thread::Start(Body body) {
  InstallFreezeHandlerOnce();
  auto control = std::make_shared<ThreadControl>();
  if (const std::error_code error = CreateEvents(*control)) return error;
  control->body = std::move(body);

  // The new thread starts with every signal blocked and sets its own mask,
  // so no control signal can reach it before.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  auto* handed = new std::shared_ptr<ThreadControl>(control);
  const int error = ::pthread_create(&control->handle, nullptr, ThreadEntry, handed);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (error != 0) {
    delete handed;
    return SystemError(error);
  }
  return std::unique_ptr<Thread>(new Thread(std::move(control)));
}

Thread::~Thread() {
  if (control_->bodyReturned.load()) {
    ::pthread_join(control_->handle, nullptr);
  } else {
    ::pthread_detach(control_->handle);
  }
}

WaitStatus Thread::WaitForEnd(std::chrono::milliseconds limit) {
  WaitSet endings;
  endings.Add(*control_->ended);
  endings.Add(*control_->parked);
  return endings.Wait(limit).status;
}

void Thread::Terminate(uint32_t exitCode) {
  if (WaitForEnd(std::chrono::milliseconds(0)) == WaitStatus::kSignalled) return;
  control_->terminate->Set();
  if (WaitForEnd(kSafePointWait) != WaitStatus::kSignalled) {
    ::pthread_kill(control_->handle, FreezeSignal());
    WaitForEnd(kNoTimeLimit);
  }
  if (control_->isParked.load()) control_->exitCode.store(exitCode);
}

std::optional<uint32_t> Thread::ExitCode() const {
  if (!control_->bodyReturned.load() && !control_->isParked.load()) return std::nullopt;
  return control_->exitCode.load();
}

}  // namespace platform
