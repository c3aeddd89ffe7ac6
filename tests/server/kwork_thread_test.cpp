#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/wait_set.h"
#include "server/kwork_thread.h"

namespace {

using namespace std::chrono_literals;
using platform::WaitStatus;

constexpr uint32_t kPromptMs = 5000;

// What a body did, kept outside the worker so that it can be read after the
// worker is gone.
struct BodyLog {
  std::atomic<int> runs{0};
  std::atomic<int> ends{0};
  std::atomic<long> spins{0};
};

// Waits on its stop event and one more event; ends when the stop event is
// set, or, when told so, when the other event is set.
class WaitingWorker : public KWorkThread {
 public:
  WaitingWorker(BodyLog& log, platform::Event& other, bool endsOnOther = false)
      : log_(log), other_(other), endsOnOther_(endsOnOther) {}
  ~WaitingWorker() override { Stop(kPromptMs); }

  using KWorkThread::StopEvent;

  uint32_t Run() override {
    ++log_.runs;
    platform::WaitSet waits;
    waits.Add(*StopEvent());
    waits.Add(other_);
    for (;;) {
      const auto woken = waits.Wait();
      if (woken.position == 0 || endsOnOther_) break;
    }
    ++log_.ends;
    return 0;
  }

 private:
  BodyLog& log_;
  platform::Event& other_;
  bool endsOnOther_;
};

// Never looks at its stop event and never waits.
class SpinningWorker : public KWorkThread {
 public:
  explicit SpinningWorker(std::shared_ptr<BodyLog> log) : log_(std::move(log)) {}
  ~SpinningWorker() override { Stop(kPromptMs); }

  uint32_t Run() override {
    for (;;) log_->spins.fetch_add(1);
    return 0;
  }

 private:
  std::shared_ptr<BodyLog> log_;
};

// Ends on its own, optionally through OnThreadExit.
class ShortWorker : public KWorkThread {
 public:
  ShortWorker(BodyLog& log, bool callsOnThreadExit) : log_(log), callsExit_(callsOnThreadExit) {}
  ~ShortWorker() override { Stop(kPromptMs); }

  using KWorkThread::StopEvent;

  uint32_t Run() override {
    if (callsExit_) OnThreadExit();
    ++log_.ends;
    return 0;
  }

 private:
  BodyLog& log_;
  bool callsExit_;
};

std::unique_ptr<platform::Event> MakeEvent() {
  return std::move(*platform::Event::Create(platform::Event::Kind::kManualReset));
}

void WaitUntil(const std::atomic<int>& value, int wanted) {
  const auto until = std::chrono::steady_clock::now() + 5s;
  while (value.load() < wanted && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(1ms);
  }
}

TEST(KWorkThread, StartsStopsAndStartsAgainWithAFreshStopEvent) {
  BodyLog log;
  auto other = MakeEvent();
  WaitingWorker worker(log, *other);
  EXPECT_EQ(worker.GetState(), KWorkThread::Idle);
  EXPECT_EQ(worker.StopEvent(), nullptr);

  ASSERT_EQ(worker.Start("first"), 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Running);
  WaitUntil(log.runs, 1);
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Idle);
  EXPECT_EQ(log.ends.load(), 1);
  EXPECT_EQ(worker.StopEvent(), nullptr);

  ASSERT_EQ(worker.Start(nullptr), 1);
  ASSERT_NE(worker.StopEvent(), nullptr);
  EXPECT_EQ(worker.StopEvent()->Wait(0ms), WaitStatus::kTimedOut) << "the new event starts clear";
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
  EXPECT_EQ(log.runs.load(), 2);
  EXPECT_EQ(log.ends.load(), 2);
}

TEST(KWorkThread, StartOnARunningWorkerChangesNothing) {
  BodyLog log;
  auto other = MakeEvent();
  WaitingWorker worker(log, *other);
  ASSERT_EQ(worker.Start(), 1);
  platform::Event* stopEvent = worker.StopEvent();
  EXPECT_EQ(worker.Start("again"), 0);
  EXPECT_EQ(worker.GetState(), KWorkThread::Running);
  EXPECT_EQ(worker.StopEvent(), stopEvent);
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
  EXPECT_EQ(log.runs.load(), 1);
}

TEST(KWorkThread, StopOnAnIdleWorkerReturnsOne) {
  BodyLog log;
  auto other = MakeEvent();
  WaitingWorker worker(log, *other);
  EXPECT_EQ(worker.Stop(0), 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Idle);
}

TEST(KWorkThread, ABodyThatNeverWaitsIsTerminatedAfterTheGracePeriod) {
  auto log = std::make_shared<BodyLog>();
  auto worker = std::make_unique<SpinningWorker>(log);
  ASSERT_EQ(worker->Start(), 1);
  while (log->spins.load() == 0) std::this_thread::yield();

  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(worker->Stop(200), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_EQ(worker->GetState(), KWorkThread::Terminated);
  EXPECT_EQ(worker->Start(), 0) << "a terminated worker cannot start again";
  EXPECT_EQ(worker->GetState(), KWorkThread::Terminated);

  worker.reset();  // the object may be deleted: the thread touches it no more
  const long spins = log->spins.load();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(log->spins.load(), spins);
}

TEST(KWorkThread, ABodyBlockedElsewhereIsTerminatedAfterTheGracePeriod) {
  BodyLog log;
  auto other = MakeEvent();
  auto never = MakeEvent();
  // Its stop event is in the set, but the body never ends on it: it keeps
  // waiting on the other event.
  class Stubborn : public KWorkThread {
   public:
    Stubborn(BodyLog& log, platform::Event& never) : log_(log), never_(never) {}
    ~Stubborn() override { Stop(kPromptMs); }
    uint32_t Run() override {
      ++log_.runs;
      never_.Wait();
      ++log_.ends;
      return 0;
    }

   private:
    BodyLog& log_;
    platform::Event& never_;
  };
  auto worker = std::make_unique<Stubborn>(log, *never);
  ASSERT_EQ(worker->Start(), 1);
  WaitUntil(log.runs, 1);
  EXPECT_EQ(worker->Stop(50), 0);
  EXPECT_EQ(worker->GetState(), KWorkThread::Terminated);
  worker.reset();
  never->Set();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(log.ends.load(), 0) << "a terminated body never runs on";
}

TEST(KWorkThread, ABodyThatReturnedIsStoppedAtOnce) {
  BodyLog log;
  ShortWorker worker(log, false);
  ASSERT_EQ(worker.Start(), 1);
  WaitUntil(log.ends, 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Running) << "returning alone keeps Running";
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Idle);
}

TEST(KWorkThread, OnThreadExitMakesTheWorkerIdleAndForgetsTheStopEvent) {
  BodyLog log;
  ShortWorker worker(log, true);
  ASSERT_EQ(worker.Start(), 1);
  WaitUntil(log.ends, 1);
  EXPECT_EQ(worker.GetState(), KWorkThread::Idle);
  EXPECT_EQ(worker.StopEvent(), nullptr);
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
  ASSERT_EQ(worker.Start(), 1) << "an Idle worker starts again";
  WaitUntil(log.ends, 2);
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
}

TEST(KWorkThread, TheStopEventWorksInAWaitSetBesideOtherEvents) {
  BodyLog log;
  auto other = MakeEvent();
  WaitingWorker worker(log, *other, true);
  ASSERT_EQ(worker.Start(), 1);
  WaitUntil(log.runs, 1);
  other->Set();  // the body's second position ends it
  WaitUntil(log.ends, 1);
  EXPECT_EQ(log.ends.load(), 1);
  EXPECT_EQ(worker.Stop(kPromptMs), 1);
}

// Counts the starts and ends of BaseOnlyWorker bodies. Kept outside the
// object: the body ends while the base destructor runs, when the derived
// part is gone.
std::atomic<int> baseOnlyStarts{0};
std::atomic<int> baseOnlyEnds{0};

// A worker whose body uses nothing but the base's stop event, and whose
// class leaves stopping to the base destructor.
class BaseOnlyWorker : public KWorkThread {
 public:
  uint32_t Run() override {
    ++baseOnlyStarts;
    StopEvent()->Wait();
    ++baseOnlyEnds;
    return 0;
  }
};

TEST(KWorkThread, TheBaseDestructorStopsARunningThread) {
  auto worker = std::make_unique<BaseOnlyWorker>();
  const int before = baseOnlyEnds.load();
  ASSERT_EQ(worker->Start(), 1);
  WaitUntil(baseOnlyStarts, before + 1);  // Run is dispatched while the object is whole
  KWorkThread* base = worker.release();
  delete base;  // through the base
  EXPECT_EQ(baseOnlyEnds.load(), before + 1);
}

}  // namespace
