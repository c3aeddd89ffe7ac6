#pragma once
// KWorkThread: abstract base of the server's background threads. It owns
// one thread and one stop event, starts the thread on the virtual body Run,
// and stops it cooperatively within a grace period, terminating it when the
// period passes (platform::Thread::Terminate: the thread is parked for good
// and never touches the object again).
//
// Start, Stop and deletion are called by one owning thread at a time. A
// derived class must call Stop in its own destructor: by the time the base
// destructor runs, the derived members the body uses are gone. The base
// destructor stops a thread that is still running all the same.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/event.h"
#include "platform/thread.h"

class KWorkThread {
 public:
  enum State : int32_t { Idle = 0, Running = 1, Terminated = 2 };

  static constexpr uint32_t kTerminatedExitCode = 255;
  static constexpr uint32_t kDestructorGracePeriod = 5000;  // milliseconds

  KWorkThread() = default;
  KWorkThread(const KWorkThread&) = delete;
  KWorkThread& operator=(const KWorkThread&) = delete;

  // Called by a body that ends on its own: forgets the stop event and
  // returns to Idle. After it the body returns at once.
  virtual void OnThreadExit();

  virtual ~KWorkThread();

  // Sets the stop event and waits up to milliseconds for the body to end.
  // 1: it ended in time, or no thread was running. 0: the thread had to be
  // terminated; the state is then Terminated for good.
  virtual int Stop(uint32_t milliseconds);

  // The body; its result is the thread's exit code.
  virtual uint32_t Run() = 0;

  virtual int32_t GetState() const;

  // Starts the thread. 1 when it was started; 0 when the worker is not Idle
  // or the stop event or the thread could not be created.
  int Start(const char* name = nullptr);

 protected:
  // Manual-reset; set when the body is asked to end. The body includes it in
  // every wait. Null before Start and after OnThreadExit.
  platform::Event* StopEvent() const;

  const std::string& Name() const { return name_; }

 private:
  static uint32_t ThreadEntry(KWorkThread* self);
  bool RequestStop();
  void ReleaseHandles();

  std::unique_ptr<platform::Event> stopEvent_;
  std::atomic<int32_t> state_{Idle};
  std::string name_;
  std::unique_ptr<platform::Thread> thread_;
  // False once OnThreadExit has forgotten the stop event. The event itself
  // is released by the owner (Start, Stop, destructor), never by the body,
  // so the owner can set it without racing the body's OnThreadExit.
  std::atomic<bool> stopEventOpen_{false};
};
