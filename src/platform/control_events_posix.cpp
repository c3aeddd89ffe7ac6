#include "platform/control_events.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/error.h"
#include "platform/signal_sets.h"

namespace platform {

namespace {

int EventOfSignal(int signal) {
  switch (signal) {
    case SIGINT:
      return kCtrlCEvent;
    case SIGQUIT:
      return kCtrlBreakEvent;
    case SIGHUP:
      return kCloseEvent;
    case SIGTERM:
      return kShutdownEvent;
    default:
      return -1;
  }
}

int SignalOfEvent(int event) {
  switch (event) {
    case kCtrlCEvent:
      return SIGINT;
    case kCtrlBreakEvent:
      return SIGQUIT;
    case kCloseEvent:
      return SIGHUP;
    case kShutdownEvent:
      return SIGTERM;
    default:
      return 0;
  }
}

// The handler is handed over on the heap; the thread keeps it for good.
extern "C" void* ControlEventLoop(void* argument) {
  const ControlEventHandler handler = *static_cast<ControlEventHandler*>(argument);
  delete static_cast<ControlEventHandler*>(argument);
  const sigset_t signals = ControlSignals();
  for (;;) {
    int signal = 0;
    if (::sigwait(&signals, &signal) != 0) continue;
    const int event = EventOfSignal(signal);
    if (event >= 0) handler(event);
  }
  return nullptr;
}

}  // namespace

std::error_code InstallControlEventHandler(ControlEventHandler handler) {
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return SystemError(EALREADY);

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, nullptr);

  const sigset_t signals = ControlSignals();
  if (const int error = ::pthread_sigmask(SIG_BLOCK, &signals, nullptr)) return SystemError(error);
  pthread_t thread;
  auto* handed = new ControlEventHandler(handler);
  if (const int error = ::pthread_create(&thread, nullptr, ControlEventLoop, handed)) {
    delete handed;
    return SystemError(error);
  }
  ::pthread_detach(thread);
  return {};
}

std::error_code RaiseControlEvent(int event) {
  const int signal = SignalOfEvent(event);
  if (signal == 0) return SystemError(EINVAL);
  if (::kill(::getpid(), signal) != 0) return LastError();
  return {};
}

}  // namespace platform
