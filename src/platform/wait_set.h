#pragma once
// An ordered set of up to six waitables. A wait reports the lowest position
// that is signalled, so the order is the priority order. Every wait of the
// layer is a poll and is where a worker thread that is being terminated
// stops for good (see thread.h).

#include <array>
#include <chrono>
#include <cstddef>

#include "platform/waitable.h"

namespace platform {

class WaitSet {
 public:
  static constexpr std::size_t kCapacity = 6;

  // Appends the object at the next position; false when the set is full.
  // The object must outlive the set's waits.
  bool Add(Waitable& object);
  void Clear() { count_ = 0; }
  std::size_t Count() const { return count_; }

  // Waits until one of the objects is signalled or the limit passes. An
  // auto-reset event is consumed only when it is the one reported. An empty
  // set just waits for the limit. A closed object makes the wait fail.
  WaitResult Wait(std::chrono::milliseconds limit = kNoTimeLimit) const;

 private:
  std::array<Waitable*, kCapacity> objects_{};
  std::size_t count_ = 0;
};

// Pauses the calling thread (a wait on nothing).
void Sleep(std::chrono::milliseconds duration);

}  // namespace platform
