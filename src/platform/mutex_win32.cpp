#include "platform/mutex.h"

#include "platform/unique_handle.h"
#include "platform/windows_api.h"

namespace platform {

class Mutex::Object final : public Waitable {
 public:
  explicit Object(UniqueHandle handle) : handle_(std::move(handle)) {}
  HANDLE Handle() const { return handle_.Get(); }

 private:
  void* WaitHandle() const override { return handle_.Get(); }
  UniqueHandle handle_;
};

Mutex::Mutex(std::unique_ptr<Object> object) : object_(std::move(object)) {}

Mutex::~Mutex() = default;

Result<std::unique_ptr<Mutex>> Mutex::Create() {
  UniqueHandle handle(::CreateMutexA(nullptr, FALSE, nullptr));
  if (!handle.IsOpen()) return LastError();
  return std::unique_ptr<Mutex>(new Mutex(std::make_unique<Object>(std::move(handle))));
}

WaitStatus Mutex::Lock(std::chrono::milliseconds limit) { return object_->Wait(limit); }

std::error_code Mutex::Unlock() {
  if (!::ReleaseMutex(object_->Handle())) return LastError();
  return {};
}

MutexHold::MutexHold(Mutex& mutex, std::chrono::milliseconds limit)
    : mutex_(mutex), acquired_(mutex.Lock(limit) == WaitStatus::kSignalled) {}

MutexHold::~MutexHold() {
  if (acquired_) mutex_.Unlock();
}

}  // namespace platform
