#pragma once
// A lock that can be waited for with a time limit or without one. Held by
// one thread at a time, which also unlocks it; Unlock releases one waiter.
// Callers never lock it twice from one thread: on POSIX that waits for
// itself, on Windows (a mutex object) it is counted.

#include <chrono>
#include <memory>
#include <system_error>

#include "platform/error.h"
#include "platform/event.h"
#include "platform/waitable.h"

namespace platform {

class Mutex {
 public:
  static Result<std::unique_ptr<Mutex>> Create();

  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  // kSignalled: the caller now holds the lock.
  WaitStatus Lock(std::chrono::milliseconds limit = kNoTimeLimit);
  std::error_code Unlock();

 private:
#ifdef _WIN32
  class Object;
  explicit Mutex(std::unique_ptr<Object> object);

 public:
  ~Mutex();

 private:
  // The mutex object; a wait on it takes it, and an abandoned one (its
  // holder's thread was terminated) is taken over.
  std::unique_ptr<Object> object_;
#else
  explicit Mutex(std::unique_ptr<Event> free) : free_(std::move(free)) {}

  // Signalled while nobody holds the lock; a Lock consumes it.
  std::unique_ptr<Event> free_;
#endif
};

// Holds a Mutex for its lifetime when it could be had within the limit.
class MutexHold {
 public:
  MutexHold(Mutex& mutex, std::chrono::milliseconds limit = kNoTimeLimit);
  ~MutexHold();
  MutexHold(const MutexHold&) = delete;
  MutexHold& operator=(const MutexHold&) = delete;

  bool Acquired() const { return acquired_; }

 private:
  Mutex& mutex_;
  bool acquired_;
};

}  // namespace platform
