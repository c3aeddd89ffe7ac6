#include "platform/signal_sets.h"

namespace platform {

sigset_t ControlSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGQUIT);
  sigaddset(&set, SIGHUP);
  sigaddset(&set, SIGTERM);
  return set;
}

int FreezeSignal() { return SIGRTMIN + 3; }

}  // namespace platform
