#pragma once
// Conformance runs against a unit (-t: with -b: and -r): the runs, the unit
// profile (-u:) and the objects to upload are read before anything listens;
// the runs then talk to the unit that connects, a ticker keeps their
// timers, and once they are done the operator console ends, the verdict is
// printed and written to -l:, and the exit code says whether all passed.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/options.h"
#include "app/verdict_report.h"
#include "server/conformance_hub.h"

class ConformanceMode {
 public:
  ~ConformanceMode();

  // Reads what the runs need; false (with every message printed) when
  // something is missing or malformed: nothing is run then.
  bool Load(const StartupSettings& settings);
  // The same for checking a capture (-p:): no listener is needed, and the
  // runs' steps that send are not run.
  bool LoadForCapture(const StartupSettings& settings);
  session::ConformanceRunner* CaptureRunner() { return captureRunner_.get(); }
  // Prints and writes the verdict of a capture's check; the exit code.
  int FinishCapture();
  session::RunDriver* Driver() { return hub_.get(); }

  // Keeps the timers; ends the operator console once the runs are done.
  void Start();
  // Waits until the runs are done or the process is asked to stop.
  void WaitUntilDone();
  // Stops the ticker, prints and writes the verdict; the exit code (0 when
  // every run passed, 1 otherwise, 3 when the verdict file failed).
  int Finish();

 private:
  void Tick();

  bool Read(const StartupSettings& settings, bool capture);
  int WriteVerdict(const std::vector<session::RunReport>& reports, bool passed);

  std::unique_ptr<ConformanceHub> hub_;
  std::unique_ptr<session::ConformanceRunner> captureRunner_;
  VerdictSetup setup_;
  std::string verdictFile_;
  std::thread ticker_;
  std::mutex stopLock_;
  std::condition_variable stopWake_;
  bool stop_ = false;  // guarded by stopLock_
};

// Exit code of a command line whose runs cannot run.
constexpr int kRunsRefused = 2;
