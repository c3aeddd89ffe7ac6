#include "platform/wait_set.h"

#include <algorithm>

#include "platform/error.h"
#include "platform/thread_termination.h"
#include "platform/windows_api.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

class Deadline {
 public:
  // A negative limit counts as 0.
  explicit Deadline(std::chrono::milliseconds limit)
      : unlimited_(limit == kNoTimeLimit),
        at_(unlimited_ ? Clock::time_point{}
                       : Clock::now() + std::max(limit, std::chrono::milliseconds(0))) {}

  // The time-out for the time left, rounded up so that a wait never ends
  // before the deadline; INFINITE without a limit.
  DWORD RemainingMilliseconds() const {
    if (unlimited_) return INFINITE;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now());
    if (left.count() <= 0) return 0;
    constexpr long long kLongest = INFINITE - 1;
    return static_cast<DWORD>(std::min<long long>(left.count(), kLongest));
  }

  bool Passed() const { return !unlimited_ && Clock::now() >= at_; }

 private:
  bool unlimited_;
  Clock::time_point at_;
};

WaitResult Signalled(std::size_t position) { return {WaitStatus::kSignalled, position, {}}; }

WaitResult Failed(std::error_code error) { return {WaitStatus::kFailed, 0, error}; }

WaitResult TimedOut() { return {WaitStatus::kTimedOut, 0, {}}; }

}  // namespace

bool WaitSet::Add(Waitable& object) {
  if (count_ == kCapacity) return false;
  objects_[count_++] = &object;
  return true;
}

// The termination request, when there is one, goes first: the lowest
// signalled handle is the one reported, so it wins over every object.
WaitResult WaitSet::Wait(std::chrono::milliseconds limit) const {
  const Deadline deadline(limit);
  Waitable* const termination = CurrentTerminationRequest();
  for (;;) {
    std::array<HANDLE, kCapacity + 1> handles{};
    DWORD used = 0;
    if (termination != nullptr) handles[used++] = termination->WaitHandle();
    const DWORD first = used;
    for (std::size_t i = 0; i < count_; ++i) {
      objects_[i]->PrepareWait();
      HANDLE handle = objects_[i]->WaitHandle();
      if (handle == nullptr) return Failed(SystemError(EBADF));
      handles[used++] = handle;
    }

    const DWORD timeout = deadline.RemainingMilliseconds();
    const DWORD woken = used == 0 ? (::Sleep(timeout), WAIT_TIMEOUT)
                                  : ::WaitForMultipleObjects(used, handles.data(), FALSE, timeout);
    if (woken == WAIT_FAILED) return Failed(LastError());
    if (woken != WAIT_TIMEOUT) {
      // An abandoned mutex is taken over by this wait: it counts as signalled.
      const DWORD index = woken >= WAIT_ABANDONED_0 && woken < WAIT_ABANDONED_0 + used
                              ? woken - WAIT_ABANDONED_0
                              : woken - WAIT_OBJECT_0;
      if (index < first) ParkTerminatedThread();
      const std::size_t position = index - first;
      if (position < count_ && objects_[position]->ClaimSignal()) return Signalled(position);
    }
    // Nothing ready, or a signal that was not this object's to report.
    if (deadline.Passed()) return TimedOut();
  }
}

WaitStatus Waitable::Wait(std::chrono::milliseconds limit) {
  WaitSet one;
  one.Add(*this);
  return one.Wait(limit).status;
}

void Sleep(std::chrono::milliseconds duration) { WaitSet().Wait(duration); }

}  // namespace platform
