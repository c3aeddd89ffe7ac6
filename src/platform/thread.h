#pragma once
// A worker thread: runs a body once, can be waited for with a time limit,
// and can be terminated.
//
// Termination stops the thread for good without running anything more of
// its body: no destructor of the body, no return into it. It is parked, not
// unwound, because unwinding a body at an arbitrary point is unsafe (a
// destructor on the way is noexcept and would end the process; a catch-all
// could swallow it). The thread is parked
//   1. at its next wait of this layer (every wait is a poll that also
//      watches the thread's termination request), which is a known point
//      where the layer holds nothing; a thread blocked in a wait stops at
//      once;
//   2. failing that within kSafePointWait (a body that never waits), by a
//      signal whose handler parks it wherever it is.
// A parked thread keeps its stack and whatever its body held, is detached
// and never runs again; the object it ran for may be deleted.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "platform/error.h"
#include "platform/waitable.h"

namespace platform {

struct ThreadControl;

class Thread {
 public:
  using Body = std::function<uint32_t()>;

  // How long Terminate lets the thread reach a wait before it parks it by
  // a signal.
  static constexpr std::chrono::milliseconds kSafePointWait{100};

  // Starts a thread that runs body at once; its result is the exit code.
  static Result<std::unique_ptr<Thread>> Start(Body body);

  // Closes the handle: a thread whose body has returned is joined, a
  // running one goes on by itself, a terminated one stays parked.
  ~Thread();
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;

  // kSignalled once the body has returned or the thread was terminated.
  WaitStatus WaitForEnd(std::chrono::milliseconds limit);

  // Stops the thread for good (see above); afterwards its exit code is
  // exitCode. Nothing happens when the body has already returned.
  void Terminate(uint32_t exitCode);

  // The exit code once the thread has ended or was terminated.
  std::optional<uint32_t> ExitCode() const;

 private:
  explicit Thread(std::shared_ptr<ThreadControl> control);

  std::shared_ptr<ThreadControl> control_;
};

}  // namespace platform
