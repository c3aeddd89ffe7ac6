#include "platform/mutex.h"

namespace platform {

Result<std::unique_ptr<Mutex>> Mutex::Create() {
  auto free = Event::Create(Event::Kind::kAutoReset);
  if (!free) return free.error();
  if (const std::error_code error = (*free)->Set()) return error;
  return std::unique_ptr<Mutex>(new Mutex(std::move(*free)));
}

WaitStatus Mutex::Lock(std::chrono::milliseconds limit) { return free_->Wait(limit); }

std::error_code Mutex::Unlock() { return free_->Set(); }

MutexHold::MutexHold(Mutex& mutex, std::chrono::milliseconds limit)
    : mutex_(mutex), acquired_(mutex.Lock(limit) == WaitStatus::kSignalled) {}

MutexHold::~MutexHold() {
  if (acquired_) mutex_.Unlock();
}

}  // namespace platform
