#include "platform/console.h"

#include <termios.h>
#include <unistd.h>

#include "platform/posix_call.h"

namespace platform {

namespace {

bool ReadOneByte() {
  unsigned char byte = 0;
  return RetryOnEintr([&] { return ::read(STDIN_FILENO, &byte, 1); }) == 1;
}

}  // namespace

void WaitForKey() {
  termios saved{};
  if (::isatty(STDIN_FILENO) && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
    termios raw = saved;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    ReadOneByte();
    ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return;
  }
  ReadOneByte();
}

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) != 0; }

bool StandardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) != 0; }

}  // namespace platform
