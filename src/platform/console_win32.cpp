#include "platform/console.h"

#include <conio.h>
#include <io.h>

#include "platform/windows_api.h"

namespace platform {

// A console gets _getch (no echo, no Enter); a pipe or a file gives one
// byte, and its end counts as the key.
void WaitForKey() {
  DWORD mode = 0;
  if (::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode)) {
    ::_getch();
    return;
  }
  unsigned char byte = 0;
  ::_read(0, &byte, 1);
}

bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StandardOutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

}  // namespace platform
