#include "platform/wait_set.h"

#include <poll.h>

#include <algorithm>
#include <climits>

#include "platform/error.h"
#include "platform/posix_call.h"
#include "platform/thread_termination.h"

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

  // The poll time-out for the time left: -1 without a limit, rounded up so
  // that a wait never ends before the deadline.
  int RemainingMilliseconds() const {
    if (unlimited_) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(at_ - Clock::now());
    if (left.count() <= 0) return 0;
    return left.count() > INT_MAX ? INT_MAX : static_cast<int>(left.count());
  }

  bool Passed() const { return !unlimited_ && Clock::now() >= at_; }

 private:
  bool unlimited_;
  Clock::time_point at_;
};

WaitResult Signalled(std::size_t position) {
  return {WaitStatus::kSignalled, position, {}};
}

WaitResult Failed(std::error_code error) { return {WaitStatus::kFailed, 0, error}; }

WaitResult TimedOut() { return {WaitStatus::kTimedOut, 0, {}}; }

}  // namespace

bool WaitSet::Add(Waitable& object) {
  if (count_ == kCapacity) return false;
  objects_[count_++] = &object;
  return true;
}

WaitResult WaitSet::Wait(std::chrono::milliseconds limit) const {
  const Deadline deadline(limit);
  const Waitable* termination = CurrentTerminationRequest();
  for (;;) {
    std::array<pollfd, kCapacity + 1> fds{};
    for (std::size_t i = 0; i < count_; ++i) {
      const int descriptor = objects_[i]->WaitDescriptor();
      if (descriptor < 0) return Failed(SystemError(EBADF));
      const short peerClose = objects_[i]->SignalsPeerClose() ? POLLRDHUP : 0;
      const short ready = objects_[i]->SignalsWritable() ? POLLOUT : POLLIN;
      fds[i] = {descriptor, static_cast<short>(ready | peerClose), 0};
    }
    nfds_t used = count_;
    if (termination != nullptr) fds[used++] = {termination->WaitDescriptor(), POLLIN, 0};

    const int ready = RetryOnEintr(
        [&] { return ::poll(fds.data(), used, deadline.RemainingMilliseconds()); });
    if (ready < 0) return Failed(LastError());
    if (termination != nullptr && fds[count_].revents != 0) ParkTerminatedThread();

    for (std::size_t i = 0; i < count_; ++i) {
      if (fds[i].revents & POLLNVAL) return Failed(SystemError(EBADF));
      if (fds[i].revents != 0 && objects_[i]->ClaimSignal()) return Signalled(i);
    }
    // Nothing ready, or every signal was taken by another waiter first.
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
