#pragma once
// An event: manual-reset (stays signalled until Reset) or auto-reset (the
// wait that reports it clears it, so it releases one waiter per Set). New
// events are clear. It is an eventfd (on Windows an event object), so any
// wait set can hold it.

#include <atomic>
#include <cstdint>
#include <memory>
#include <system_error>

#include "platform/error.h"
#ifdef _WIN32
#include "platform/unique_handle.h"
#else
#include "platform/unique_fd.h"
#endif
#include "platform/waitable.h"

namespace platform {

class Event final : public Waitable {
 public:
  enum class Kind { kManualReset, kAutoReset };

  static Result<std::unique_ptr<Event>> Create(Kind kind);

  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Safe from any thread and from a signal handler.
  std::error_code Set();
  std::error_code Reset();

  Kind GetKind() const { return kind_; }

  // For a manual-reset event: whether it is set now, without a system call
  // (a receive loop asks this for every packet). Always false for an
  // auto-reset event, whose signal only a wait may take. A Reset racing a
  // Set may leave it stale until the next Set or Reset.
  bool IsSet() const { return kind_ == Kind::kManualReset && set_.load(std::memory_order_acquire); }

 private:
#ifdef _WIN32
  Event(UniqueHandle handle, Kind kind) : handle_(std::move(handle)), kind_(kind) {}

  void* WaitHandle() const override { return handle_.Get(); }
  bool ClaimSignal() override;

  UniqueHandle handle_;
#else
  Event(UniqueFd descriptor, Kind kind) : descriptor_(std::move(descriptor)), kind_(kind) {}

  int WaitDescriptor() const override { return descriptor_.Get(); }
  bool ClaimSignal() override;

  UniqueFd descriptor_;
#endif
  Kind kind_;
  // Counts the Sets. A waiter reads it with acquire ordering, so whatever the
  // setter wrote before Set is visible to the thread that saw the signal.
  std::atomic<uint64_t> sets_{0};
  std::atomic<bool> set_{false};  // manual-reset only: between Set and Reset
};

}  // namespace platform
