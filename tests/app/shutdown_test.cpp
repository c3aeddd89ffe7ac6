#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

#include "app/process_state.h"
#include "app/shutdown.h"
#include "platform/event.h"
#include "platform/wait_set.h"
#include "server/nwork_thread.h"
#include "support/log_text.h"

namespace {

using namespace std::chrono_literals;

// Short pauses; the order and the outcome are what is tested.
const ShutdownTiming kQuick{10ms, 200ms, 10ms};

// What happened to a worker, kept outside it.
struct WorkerLog {
  std::atomic<int> woken{-1};  // position of the wait that ended the body
  std::atomic<int> deletions{0};
  std::atomic<bool> running{false};
  bool reportsDeletion = false;  // on standard error, for a death test
};

// Stands in for the work thread: waits on its stop event and StopAllEvent.
class StandInWorker : public NWorkThread {
 public:
  explicit StandInWorker(WorkerLog& log)
      : NWorkThread(nullptr, nullptr, nullptr, nullptr, 0, nullptr), log_(log) {}
  ~StandInWorker() override {
    Stop(1000);
    ++log_.deletions;
    if (log_.reportsDeletion) std::fprintf(stderr, "work thread deleted\n");
  }
  uint32_t Run() override {
    platform::WaitSet waits;
    waits.Add(*StopEvent());
    if (platform::Event* stopAll = StopAllEvent()) waits.Add(*stopAll);
    log_.running = true;
    log_.woken = static_cast<int>(waits.Wait().position);
    return 0;
  }

 private:
  WorkerLog& log_;
};

// Ignores every request to end.
class DeafWorker : public NWorkThread {
 public:
  DeafWorker() : NWorkThread(nullptr, nullptr, nullptr, nullptr, 0, nullptr) {}
  ~DeafWorker() override { Stop(1000); }
  uint32_t Run() override {
    for (;;) spins.fetch_add(1);
    return 0;
  }
  std::atomic<long> spins{0};
};

void InstallServer(std::unique_ptr<NWorkThread> worker) {
  InstallStopAllEvent(std::move(*platform::Event::Create(platform::Event::Kind::kManualReset)));
  SetServerMode(true);
  WorkThreadAccess access;
  ASSERT_EQ(worker->Start(), 1);
  access.Install(std::move(worker));
}

void WaitUntilRunning(const WorkerLog& log) {
  while (!log.running.load()) std::this_thread::sleep_for(1ms);
}

bool WorkThreadGone() { return !WorkThreadAccess(); }

class ShutdownTest : public testing::Test {
 protected:
  void TearDown() override {
    WorkThreadAccess access;
    access.Release();
    access.CloseStopAllEvent();
    SetServerMode(false);
  }
};

TEST_F(ShutdownTest, RunsBeforeAnythingExistsAndTwice) {
  Shutdown(kQuick);
  Shutdown(kQuick);
  EXPECT_EQ(StopAllEvent(), nullptr);
  EXPECT_TRUE(WorkThreadGone());
}

TEST_F(ShutdownTest, WithoutAWorkThreadThereIsNoSettlePause) {
  // Nobody could be listening for StopAllEvent: a pause of an hour would
  // hang the test if it were taken.
  InstallStopAllEvent(std::move(*platform::Event::Create(platform::Event::Kind::kManualReset)));
  Shutdown(ShutdownTiming{std::chrono::hours(1), 10ms, 10ms});
  EXPECT_EQ(StopAllEvent(), nullptr);
}

TEST_F(ShutdownTest, SetsStopAllFirstThenDeletesTheWorkThreadThenClosesTheEvent) {
  WorkerLog log;
  InstallServer(std::make_unique<StandInWorker>(log));
  WaitUntilRunning(log);
  Shutdown(kQuick);
  EXPECT_EQ(log.woken.load(), 1) << "StopAllEvent must end the body before its stop event";
  EXPECT_EQ(log.deletions.load(), 1);
  EXPECT_TRUE(WorkThreadGone());
  EXPECT_EQ(StopAllEvent(), nullptr);
}

TEST_F(ShutdownTest, TerminatesAWorkThreadThatIgnoresTheRequest) {
  auto worker = std::make_unique<DeafWorker>();
  std::atomic<long>& spins = worker->spins;
  InstallServer(std::move(worker));
  while (spins.load() == 0) std::this_thread::yield();
  Shutdown(kQuick);
  EXPECT_TRUE(WorkThreadGone());
}

TEST_F(ShutdownTest, TwoAtOnceStopAndDeleteTheWorkThreadOnce) {
  WorkerLog log;
  InstallServer(std::make_unique<StandInWorker>(log));
  WaitUntilRunning(log);
  std::thread handler([] { Shutdown(kQuick); });
  Shutdown(kQuick);
  handler.join();
  EXPECT_EQ(log.deletions.load(), 1);
  EXPECT_TRUE(WorkThreadGone());
  EXPECT_EQ(StopAllEvent(), nullptr);
}

TEST_F(ShutdownTest, WaitsWhileTheConsoleUsesTheWorkThread) {
  WorkerLog log;
  InstallServer(std::make_unique<StandInWorker>(log));
  std::atomic<bool> done{false};
  std::thread handler;
  {
    WorkThreadAccess console;
    handler = std::thread([&] {
      Shutdown(kQuick);
      done = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(done.load());
    ASSERT_TRUE(console);
    EXPECT_EQ(log.deletions.load(), 0);
    console->GetState();  // still a live object
  }
  handler.join();
  EXPECT_TRUE(done.load());
  EXPECT_EQ(log.deletions.load(), 1);
}

// The log text of the handler's line, after its 23-character time stamp.
std::string HandlerLine(const std::string& text) { return "  Main:  INFO: " + text + "\n"; }

void ExpectOneHandlerLine(const std::string& out, const std::string& text) {
  ASSERT_EQ(out.size(), 23 + HandlerLine(text).size()) << out;
  EXPECT_TRUE(testing_support::IsTimeStamp(out.substr(0, 23))) << out;
  EXPECT_EQ(out.substr(23), HandlerLine(text));
}

TEST_F(ShutdownTest, HandledEventsLogTheirTextRunShutdownAndReturnTrue) {
  const std::pair<int, const char*> events[] = {
      {0, "CTRL+C received!"}, {1, "CTRL+BREAK received!"}, {5, "User is logging off!"}, {3, ""}};
  for (const auto& [event, text] : events) {
    WorkerLog log;
    InstallServer(std::make_unique<StandInWorker>(log));
    testing::internal::CaptureStdout();
    const bool handled = ConsoleCtrlHandler(event, kQuick);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(handled) << event;
    ExpectOneHandlerLine(out, text);
    EXPECT_EQ(log.deletions.load(), 1) << event;
    EXPECT_EQ(StopAllEvent(), nullptr) << event;
  }
}

// In a child process: stdout goes to a file, a stand-in work thread runs,
// and the handler must end the process with exit code 0 after stopping it.
[[noreturn]] void HandleEndingEvent(int event, const std::string& outFile) {
  if (std::freopen(outFile.c_str(), "w", stdout) == nullptr) std::_Exit(4);
  WorkerLog log;
  log.reportsDeletion = true;
  InstallServer(std::make_unique<StandInWorker>(log));
  WaitUntilRunning(log);
  ConsoleCtrlHandler(event, kQuick);
  std::_Exit(3);  // the handler returned
}

class ShutdownDeathTest : public ShutdownTest {};

TEST_F(ShutdownDeathTest, WindowClosedAndSystemShutdownEndTheProcessWithCodeZero) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const std::pair<int, const char*> events[] = {{2, "Program being closed!"}, {6, "Shutdown!"}};
  for (const auto& [event, text] : events) {
    const std::string outFile = (std::filesystem::temp_directory_path() /
                                 ("korvane_shutdown_event_" + std::to_string(event) + ".out"))
                                    .string();
    std::filesystem::remove(outFile);
    EXPECT_EXIT(HandleEndingEvent(event, outFile), testing::ExitedWithCode(0),
                "work thread deleted");
    std::string out;
    {
      // Closed before the remove below: Windows deletes no open file.
      std::ifstream in(outFile);
      out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ExpectOneHandlerLine(out, text);
    std::filesystem::remove(outFile);
  }
}

}  // namespace
