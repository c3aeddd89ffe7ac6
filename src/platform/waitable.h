#pragma once
// Anything a thread can wait for: events, a listening or connected socket, a
// directory change notification. Each stands on one file descriptor, so that
// one poll serves any set of them (see wait_set.h); on Windows on one
// waitable kernel object, so that one WaitForMultipleObjects serves them.

#include <chrono>
#include <cstddef>
#include <system_error>

namespace platform {

// A time limit that never passes.
inline constexpr std::chrono::milliseconds kNoTimeLimit = std::chrono::milliseconds::max();

enum class WaitStatus {
  kSignalled,  // the object (or one of the set) is signalled
  kTimedOut,   // the time limit passed first
  kFailed,     // the wait itself failed (for instance a closed object)
};

struct WaitResult {
  WaitStatus status = WaitStatus::kFailed;
  std::size_t position = 0;  // with kSignalled: the object's place in the set
  std::error_code error;     // with kFailed: why
};

class Waitable {
 public:
  virtual ~Waitable() = default;

  // Waits for this object alone; an auto-reset event is consumed.
  WaitStatus Wait(std::chrono::milliseconds limit = kNoTimeLimit);

 protected:
  Waitable() = default;
  Waitable(const Waitable&) = default;
  Waitable& operator=(const Waitable&) = default;

 private:
  friend class WaitSet;

#ifdef _WIN32
  // The object handle that is signalled while this object is; null once the
  // object is closed.
  virtual void* WaitHandle() const = 0;

  // Called before every wait on the handle: an object that knows it is
  // signalled without its handle saying so (a socket whose network events
  // were taken by an earlier wait) sets the handle here.
  virtual void PrepareWait() {}
#else
  // The descriptor that is readable while the object is signalled; negative
  // once the object is closed.
  virtual int WaitDescriptor() const = 0;

  // True when the peer's close of a connection also signals the object.
  virtual bool SignalsPeerClose() const { return false; }

  // True when the object is signalled while its descriptor takes writes
  // rather than while it has something to read.
  virtual bool SignalsWritable() const { return false; }
#endif

  // Called once a wait found the descriptor ready and is about to report this
  // object. Returns false when the signal is no longer there (another thread
  // consumed an auto-reset event first).
  virtual bool ClaimSignal() { return true; }
};

}  // namespace platform
