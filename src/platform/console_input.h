#pragma once
// Line input from the console that another thread can end. Closing the C
// library's stdin does not wake a read that is blocked on Linux, so a read
// waits on the input and on a "closed" event together.

#include <atomic>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "platform/event.h"

namespace platform {

class ConsoleInput {
 public:
  // Reads from descriptor, which stays open and is not owned.
  explicit ConsoleInput(int descriptor);

  ConsoleInput(const ConsoleInput&) = delete;
  ConsoleInput& operator=(const ConsoleInput&) = delete;

  // Reads like fgets with a buffer of limit bytes (limit >= 2): at most
  // limit - 1 characters, up to and including the line feed; a longer line
  // comes in pieces, and a last line without line feed as it stands. None at
  // the end of input, on a read error, and once Close was called. One
  // reading thread at a time.
  std::optional<std::string> ReadLine(std::size_t limit);

  // Ends a ReadLine that is blocked now and every later one. Safe from any
  // thread, any number of times; the descriptor itself stays open, so a
  // single-key read of the console goes on working.
  void Close();

 private:
  enum class Fill { kMore, kEnd, kFailed };

  std::optional<std::string> TakeLine(std::size_t limit);
  Fill ReadMore();

  int descriptor_;
  std::unique_ptr<Event> closedEvent_;  // null when it could not be created
  std::atomic<bool> closed_{false};
  std::string pending_;  // read from the descriptor, not delivered yet
  bool endOfInput_ = false;
};

// The process's standard input.
ConsoleInput& StandardInput();

}  // namespace platform
