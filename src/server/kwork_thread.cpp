#include "server/kwork_thread.h"

#include <chrono>

void KWorkThread::OnThreadExit() {
  // Idle first: an owner that finds the stop event gone then also finds Idle
  // and does not terminate a thread that is ending on its own.
  state_.store(Idle);
  stopEventOpen_.store(false);
}

KWorkThread::~KWorkThread() {
  if (state_.load() == Running) KWorkThread::Stop(kDestructorGracePeriod);
}

int KWorkThread::Stop(uint32_t milliseconds) {
  int result = 1;
  if (state_.load() == Running) {
    if (RequestStop() &&
        thread_->WaitForEnd(std::chrono::milliseconds(milliseconds)) ==
            platform::WaitStatus::kSignalled) {
      state_.store(Idle);
    }
    if (state_.load() != Idle) {
      thread_->Terminate(kTerminatedExitCode);
      state_.store(Terminated);
      result = 0;
    }
  }
  ReleaseHandles();
  return result;
}

int32_t KWorkThread::GetState() const { return state_.load(); }

int KWorkThread::Start(const char* name) {
  if (state_.load() != Idle) return 0;
  thread_.reset();
  name_ = name != nullptr ? name : "";

  stopEventOpen_.store(false);
  stopEvent_.reset();
  auto event = platform::Event::Create(platform::Event::Kind::kManualReset);
  if (!event) return 0;
  stopEvent_ = std::move(*event);
  stopEventOpen_.store(true);

  // Running before the thread exists: a body that calls OnThreadExit at once
  // must find its Idle kept.
  state_.store(Running);
  auto thread = platform::Thread::Start([this] { return ThreadEntry(this); });
  if (!thread) {
    state_.store(Idle);
    ReleaseHandles();
    return 0;
  }
  thread_ = std::move(*thread);
  return 1;
}

platform::Event* KWorkThread::StopEvent() const {
  return stopEventOpen_.load() ? stopEvent_.get() : nullptr;
}

uint32_t KWorkThread::ThreadEntry(KWorkThread* self) { return self->Run(); }

bool KWorkThread::RequestStop() {
  return thread_ && stopEventOpen_.load() && !stopEvent_->Set();
}

void KWorkThread::ReleaseHandles() {
  thread_.reset();
  stopEventOpen_.store(false);
  stopEvent_.reset();
}
