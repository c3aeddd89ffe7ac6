#include "platform/control_events.h"

#include <atomic>

#include "platform/error.h"
#include "platform/windows_api.h"

namespace platform {

namespace {

std::atomic<ControlEventHandler> installed{nullptr};

// The console calls this on a thread of its own for each event. For the
// close, log-off and shutdown events Windows ends the process once the
// routine returns, whatever it returns; the handler ends it itself where it
// means to, after its own clean-up.
BOOL WINAPI ConsoleRoutine(DWORD event) {
  const ControlEventHandler handler = installed.load();
  if (handler == nullptr) return FALSE;
  handler(static_cast<int>(event));
  return TRUE;
}

bool IsControlEvent(int event) {
  switch (event) {
    case kCtrlCEvent:
    case kCtrlBreakEvent:
    case kCloseEvent:
    case kLogoffEvent:
    case kShutdownEvent:
      return true;
    default:
      return false;
  }
}

DWORD WINAPI DeliverEvent(void* event) {
  ConsoleRoutine(static_cast<DWORD>(reinterpret_cast<uintptr_t>(event)));
  return 0;
}

}  // namespace

std::error_code InstallControlEventHandler(ControlEventHandler handler) {
  ControlEventHandler none = nullptr;
  if (!installed.compare_exchange_strong(none, handler)) return SystemError(EALREADY);
  if (!::SetConsoleCtrlHandler(ConsoleRoutine, TRUE)) {
    const std::error_code error = LastError();
    installed.store(nullptr);
    return error;
  }
  return {};
}

// Delivered as the console delivers them: to the routine, on a new thread.
// GenerateConsoleCtrlEvent would reach every process on the console and
// knows only Ctrl+C and Ctrl+Break.
std::error_code RaiseControlEvent(int event) {
  if (!IsControlEvent(event)) return SystemError(EINVAL);
  HANDLE thread = ::CreateThread(nullptr, 0, DeliverEvent,
                                 reinterpret_cast<void*>(static_cast<uintptr_t>(event)), 0, nullptr);
  if (thread == nullptr) return LastError();
  ::CloseHandle(thread);
  return {};
}

}  // namespace platform
