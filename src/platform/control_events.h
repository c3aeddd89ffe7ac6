#pragma once
// Console control events. Signals stand for them: SIGINT is Ctrl+C (0),
// SIGQUIT is Ctrl+Break (1), SIGHUP is the console window closed (2) and
// SIGTERM is system shutdown (6). They are taken by one thread of their own,
// which calls the handler; no other thread is interrupted by them.
// On Windows they are the console's own control events, which the console
// delivers on a thread of their own (SetConsoleCtrlHandler); log-off (5) is
// among them.

#include <system_error>

namespace platform {

enum ControlEvent : int {
  kCtrlCEvent = 0,
  kCtrlBreakEvent = 1,
  kCloseEvent = 2,
  kLogoffEvent = 5,  // no signal stands for it
  kShutdownEvent = 6,
};

using ControlEventHandler = void (*)(int event);

// Blocks the control signals in the calling thread, and so in every thread
// started after it, ignores SIGPIPE (a closed connection is seen in the
// receive's result instead), and starts the thread that waits for the
// signals and calls handler with the event number. Must run before any other
// thread starts. Once per process; a second call fails with EALREADY.
std::error_code InstallControlEventHandler(ControlEventHandler handler);

// Sends the signal that stands for event to this process, as the terminal
// or the system would. EINVAL for an event no signal stands for.
// On Windows the event is handed to the installed handler on a new thread,
// as the console hands it; EINVAL for a number that is no control event.
std::error_code RaiseControlEvent(int event);

}  // namespace platform
