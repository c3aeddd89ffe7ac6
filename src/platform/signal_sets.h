#pragma once
// Internal to the platform layer: the signals the layer reserves.

#include <signal.h>

namespace platform {

// SIGINT, SIGQUIT, SIGHUP and SIGTERM: the console control events. Only the
// control-event thread takes them (control_events.h); every other thread
// keeps them blocked.
sigset_t ControlSignals();

// The signal that stops a worker thread that did not reach a wait in time
// (thread.h).
int FreezeSignal();

}  // namespace platform
