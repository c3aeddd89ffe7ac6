#include "platform/event.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "platform/posix_call.h"

namespace platform {

namespace {

// Reads (and so clears) the eventfd counter. False when it was already clear.
bool TakeCount(int descriptor, std::error_code& error) {
  uint64_t count = 0;
  const ssize_t n = RetryOnEintr([&] { return ::read(descriptor, &count, sizeof count); });
  if (n == sizeof count) return true;
  if (n < 0 && errno != EAGAIN) error = LastError();
  return false;
}

}  // namespace

Result<std::unique_ptr<Event>> Event::Create(Kind kind) {
  UniqueFd descriptor(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!descriptor.IsOpen()) return LastError();
  return std::unique_ptr<Event>(new Event(std::move(descriptor), kind));
}

std::error_code Event::Set() {
  sets_.fetch_add(1, std::memory_order_release);
  set_.store(true, std::memory_order_release);
  const uint64_t one = 1;
  const ssize_t n = RetryOnEintr([&] { return ::write(descriptor_.Get(), &one, sizeof one); });
  // EAGAIN: the counter is at its maximum, so the event is signalled anyway.
  if (n < 0 && errno != EAGAIN) return LastError();
  return {};
}

std::error_code Event::Reset() {
  set_.store(false, std::memory_order_release);
  std::error_code error;
  TakeCount(descriptor_.Get(), error);
  return error;
}

bool Event::ClaimSignal() {
  bool claimed = true;
  if (kind_ == Kind::kAutoReset) {
    std::error_code ignored;
    claimed = TakeCount(descriptor_.Get(), ignored);
  }
  if (claimed) sets_.load(std::memory_order_acquire);
  return claimed;
}

}  // namespace platform
