#include "app/shutdown.h"

#include <cstdio>
#include <cstdlib>

#include "app/process_state.h"
#include "console/log_line.h"
#include "platform/console_input.h"
#include "platform/control_events.h"
#include "platform/wait_set.h"

namespace {

const char* ControlEventText(int event) {
  switch (event) {
    case platform::kCtrlCEvent:
      return "CTRL+C received!";
    case platform::kCtrlBreakEvent:
      return "CTRL+BREAK received!";
    case platform::kCloseEvent:
      return "Program being closed!";
    case platform::kLogoffEvent:
      return "User is logging off!";
    case platform::kShutdownEvent:
      return "Shutdown!";
    default:
      return "";
  }
}

bool EndsProcess(int event) {
  return event == platform::kCloseEvent || event == platform::kShutdownEvent;
}

void OnControlEvent(int event) { ConsoleCtrlHandler(event); }

// Stops and deletes the work thread, then closes StopAllEvent, all under the
// WorkThread lock: a second Shutdown waits here until the first is done, so
// the event is never closed while the work thread may still use it.
void StopServer(std::chrono::milliseconds grace) {
  WorkThreadAccess access;
  if (std::unique_ptr<WorkThreadObject> thread = access.Release()) {
    thread->Stop(static_cast<uint32_t>(grace.count()));
  }
  access.CloseStopAllEvent();
}

}  // namespace

void InstallConsoleCtrlHandler() { platform::InstallControlEventHandler(&OnControlEvent); }

void Shutdown() { Shutdown(ShutdownTiming{}); }

void Shutdown(const ShutdownTiming& timing) {
  SetStopAllEvent();
  std::fflush(stdout);
  // The pause lets server threads see StopAllEvent; without a work thread
  // nobody listens, and single-packet runs end at once.
  if (WorkThreadAccess()) platform::Sleep(timing.settle);
  StopServer(timing.workThreadGrace);
  // No source records any more: the track file is written whole.
  FinishTracks();
  // Standard input itself stays open: a pending single-key read goes on.
  platform::StandardInput().Close();
}

bool ConsoleCtrlHandler(int event) { return ConsoleCtrlHandler(event, ShutdownTiming{}); }

bool ConsoleCtrlHandler(int event, const ShutdownTiming& timing) {
  LogLine(kControlHandlerSource, "%s\n", ControlEventText(event));
  Shutdown(timing);
  platform::Sleep(timing.handlerPause);
  if (EndsProcess(event)) {
    std::fflush(stdout);
    std::_Exit(0);
  }
  return true;
}
