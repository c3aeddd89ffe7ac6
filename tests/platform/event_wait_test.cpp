#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/connected_socket.h"
#include "platform/event.h"
#include "platform/mutex.h"
#include "platform/wait_set.h"

namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::WaitSet;
using platform::WaitStatus;

constexpr auto kPrompt = 5000ms;  // generous: only proves that a wait ended

std::unique_ptr<Event> MakeEvent(Event::Kind kind) {
  auto event = Event::Create(kind);
  EXPECT_TRUE(event.ok()) << event.error().message();
  return std::move(*event);
}

TEST(Event, ManualResetStaysSignalledUntilReset) {
  auto event = MakeEvent(Event::Kind::kManualReset);
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kTimedOut);
  EXPECT_FALSE(event->IsSet());
  ASSERT_FALSE(event->Set());
  EXPECT_TRUE(event->IsSet());
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kSignalled);
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kSignalled);
  ASSERT_FALSE(event->Reset());
  EXPECT_FALSE(event->IsSet());
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kTimedOut);
  // An auto-reset event's signal is for a wait to take, never for IsSet.
  auto automatic = MakeEvent(Event::Kind::kAutoReset);
  ASSERT_FALSE(automatic->Set());
  EXPECT_FALSE(automatic->IsSet());
}

TEST(Event, AutoResetIsConsumedByTheWaitThatReportsIt) {
  auto event = MakeEvent(Event::Kind::kAutoReset);
  event->Set();
  event->Set();  // two Sets before a wait count as one signal
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kSignalled);
  EXPECT_EQ(event->Wait(0ms), WaitStatus::kTimedOut);
}

TEST(Event, WaitWithLimitTimesOutAndIsWokenByAnotherThread) {
  auto event = MakeEvent(Event::Kind::kManualReset);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(event->Wait(30ms), WaitStatus::kTimedOut);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);

  std::thread setter([&] {
    std::this_thread::sleep_for(20ms);
    event->Set();
  });
  EXPECT_EQ(event->Wait(), WaitStatus::kSignalled);
  setter.join();
}

TEST(Event, AutoResetReleasesOneWaiterPerSet) {
  auto event = MakeEvent(Event::Kind::kAutoReset);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 2; ++i) {
    waiters.emplace_back([&] {
      if (event->Wait(kPrompt) == WaitStatus::kSignalled) ++released;
    });
  }
  event->Set();
  while (released.load() == 0) std::this_thread::sleep_for(1ms);
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(released.load(), 1);
  event->Set();
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(released.load(), 2);
}

TEST(WaitSet, ReportsTheLowestSignalledPosition) {
  std::vector<std::unique_ptr<Event>> events;
  WaitSet set;
  for (int i = 0; i < 6; ++i) {
    events.push_back(MakeEvent(Event::Kind::kManualReset));
    ASSERT_TRUE(set.Add(*events.back()));
  }
  EXPECT_FALSE(set.Add(*events[0])) << "a seventh object must not fit";
  EXPECT_EQ(set.Count(), 6u);

  events[4]->Set();
  events[2]->Set();
  const auto woken = set.Wait(0ms);
  EXPECT_EQ(woken.status, WaitStatus::kSignalled);
  EXPECT_EQ(woken.position, 2u);
  events[2]->Reset();
  EXPECT_EQ(set.Wait(0ms).position, 4u);
}

TEST(WaitSet, ConsumesOnlyTheAutoResetEventItReports) {
  auto first = MakeEvent(Event::Kind::kAutoReset);
  auto second = MakeEvent(Event::Kind::kAutoReset);
  WaitSet set;
  set.Add(*first);
  set.Add(*second);
  first->Set();
  second->Set();
  EXPECT_EQ(set.Wait(0ms).position, 0u);
  EXPECT_EQ(set.Wait(0ms).position, 1u);
  EXPECT_EQ(set.Wait(0ms).status, WaitStatus::kTimedOut);
}

TEST(WaitSet, AClosedObjectIsAFailureNotATimeOut) {
  platform::ConnectedSocket closed{platform::UniqueSocket()};
  auto event = MakeEvent(Event::Kind::kManualReset);
  WaitSet set;
  set.Add(*event);
  set.Add(closed);
  const auto result = set.Wait(0ms);
  EXPECT_EQ(result.status, WaitStatus::kFailed);
  EXPECT_EQ(result.error.value(), EBADF);
}

TEST(WaitSet, EmptySetSleepsForTheLimit) {
  const auto start = std::chrono::steady_clock::now();
  platform::Sleep(30ms);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
  EXPECT_EQ(WaitSet().Wait(0ms).status, WaitStatus::kTimedOut);
}

TEST(Mutex, ExcludesOtherThreadsWithAndWithoutLimit) {
  auto created = platform::Mutex::Create();
  ASSERT_TRUE(created.ok());
  platform::Mutex& mutex = **created;

  ASSERT_EQ(mutex.Lock(0ms), WaitStatus::kSignalled);
  std::thread other([&] { EXPECT_EQ(mutex.Lock(20ms), WaitStatus::kTimedOut); });
  other.join();
  mutex.Unlock();

  // Two threads add to a plain counter under the lock, one of them waiting
  // without a limit.
  int counter = 0;
  auto add = [&](std::chrono::milliseconds limit) {
    for (int i = 0; i < 2000; ++i) {
      platform::MutexHold hold(mutex, limit);
      ASSERT_TRUE(hold.Acquired());
      ++counter;
    }
  };
  std::thread a(add, platform::kNoTimeLimit);
  std::thread b(add, kPrompt);
  a.join();
  b.join();
  EXPECT_EQ(counter, 4000);
  EXPECT_EQ(mutex.Lock(0ms), WaitStatus::kSignalled) << "the lock must be free again";
}

}  // namespace
