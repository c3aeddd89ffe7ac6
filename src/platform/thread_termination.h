#pragma once
// Internal to the platform layer: what every wait needs to know about the
// termination of the calling thread (see thread.h).

namespace platform {

class Waitable;

// The termination request of the calling thread when it is a worker thread
// started by Thread::Start, otherwise null. Every wait watches it.
Waitable* CurrentTerminationRequest();

// Stops the calling worker thread for good: reports it as stopped to the
// thread that terminates it and never returns.
[[noreturn]] void ParkTerminatedThread();

}  // namespace platform
