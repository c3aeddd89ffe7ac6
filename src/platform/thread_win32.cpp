#include "platform/thread.h"

#include <atomic>

#include "platform/event.h"
#include "platform/thread_termination.h"
#include "platform/unique_handle.h"
#include "platform/wait_set.h"
#include "platform/windows_api.h"

namespace platform {

// Shared by the owner's handle and the thread itself; a parked thread keeps
// it alive for good.
struct ThreadControl {
  Thread::Body body;
  std::unique_ptr<Event> ended;      // set once the body has returned
  std::unique_ptr<Event> terminate;  // set by Terminate; every wait watches it
  std::unique_ptr<Event> parked;     // set when the thread is parked or terminated
  std::atomic<bool> bodyReturned{false};
  std::atomic<bool> isParked{false};
  std::atomic<uint32_t> exitCode{0};
  UniqueHandle handle;
};

namespace {

thread_local ThreadControl* currentControl = nullptr;

DWORD WINAPI ThreadEntry(void* argument) {
  auto* handed = static_cast<std::shared_ptr<ThreadControl>*>(argument);
  const std::shared_ptr<ThreadControl> control = std::move(*handed);
  delete handed;
  currentControl = control.get();
  const uint32_t exitCode = control->body();
  control->exitCode.store(exitCode);
  control->bodyReturned.store(true);
  control->ended->Set();
  return exitCode;
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
  for (;;) ::Sleep(INFINITE);
}

Thread::Thread(std::shared_ptr<ThreadControl> control) : control_(std::move(control)) {}

Result<std::unique_ptr<Thread>> Thread::Start(Body body) {
  auto control = std::make_shared<ThreadControl>();
  if (const std::error_code error = CreateEvents(*control)) return error;
  control->body = std::move(body);
  auto* handed = new std::shared_ptr<ThreadControl>(control);
  // Suspended until the handle is stored, which Terminate needs.
  HANDLE handle = ::CreateThread(nullptr, 0, ThreadEntry, handed, CREATE_SUSPENDED, nullptr);
  if (handle == nullptr) {
    const std::error_code error = LastError();
    delete handed;
    return error;
  }
  control->handle.Reset(handle);
  ::ResumeThread(handle);
  return std::unique_ptr<Thread>(new Thread(std::move(control)));
}

// A thread whose body returned is waited for until it has really ended; a
// running or parked one goes on without its handle.
Thread::~Thread() {
  if (control_->bodyReturned.load()) ::WaitForSingleObject(control_->handle.Get(), INFINITE);
  control_->handle.Reset();
}

WaitStatus Thread::WaitForEnd(std::chrono::milliseconds limit) {
  WaitSet endings;
  endings.Add(*control_->ended);
  endings.Add(*control_->parked);
  return endings.Wait(limit).status;
}

// A body that reaches no wait in time is ended by TerminateThread: Windows
// has no way to park it where it is. It then releases nothing it held (an
// owned mutex is abandoned and taken over by its next waiter).
void Thread::Terminate(uint32_t exitCode) {
  if (WaitForEnd(std::chrono::milliseconds(0)) == WaitStatus::kSignalled) return;
  control_->terminate->Set();
  if (WaitForEnd(kSafePointWait) != WaitStatus::kSignalled) {
    if (::TerminateThread(control_->handle.Get(), exitCode)) {
      ::WaitForSingleObject(control_->handle.Get(), INFINITE);
      control_->isParked.store(true);
      control_->parked->Set();
    } else {
      WaitForEnd(kNoTimeLimit);
    }
  }
  if (control_->isParked.load() && !control_->bodyReturned.load()) {
    control_->exitCode.store(exitCode);
  }
}

std::optional<uint32_t> Thread::ExitCode() const {
  if (!control_->bodyReturned.load() && !control_->isParked.load()) return std::nullopt;
  return control_->exitCode.load();
}

}  // namespace platform
