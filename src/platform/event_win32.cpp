#include "platform/event.h"

#include "platform/windows_api.h"

namespace platform {

Result<std::unique_ptr<Event>> Event::Create(Kind kind) {
  UniqueHandle handle(::CreateEventA(nullptr, kind == Kind::kManualReset, FALSE, nullptr));
  if (!handle.IsOpen()) return LastError();
  return std::unique_ptr<Event>(new Event(std::move(handle), kind));
}

std::error_code Event::Set() {
  sets_.fetch_add(1, std::memory_order_release);
  set_.store(true, std::memory_order_release);
  if (!::SetEvent(handle_.Get())) return LastError();
  return {};
}

std::error_code Event::Reset() {
  set_.store(false, std::memory_order_release);
  if (!::ResetEvent(handle_.Get())) return LastError();
  return {};
}

// The wait that reported the event has already cleared an auto-reset one,
// and no other waiter can have taken that signal.
bool Event::ClaimSignal() {
  sets_.load(std::memory_order_acquire);
  return true;
}

}  // namespace platform
