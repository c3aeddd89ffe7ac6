#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "platform/event.h"
#include "platform/thread.h"
#include "platform/wait_set.h"

namespace {

using namespace std::chrono_literals;
using platform::Event;
using platform::Thread;
using platform::WaitStatus;

std::unique_ptr<Thread> StartThread(Thread::Body body) {
  auto thread = Thread::Start(std::move(body));
  EXPECT_TRUE(thread.ok()) << thread.error().message();
  return std::move(*thread);
}

// True when the counter stays where it is for a while.
bool StaysStill(const std::atomic<long>& counter) {
  const long before = counter.load();
  std::this_thread::sleep_for(50ms);
  return counter.load() == before;
}

TEST(Thread, RunsTheBodyAndReportsItsExitCode) {
  auto release = *Event::Create(Event::Kind::kManualReset);
  auto thread = StartThread([&] {
    release->Wait();
    return 7u;
  });
  EXPECT_EQ(thread->WaitForEnd(20ms), WaitStatus::kTimedOut);
  EXPECT_FALSE(thread->ExitCode().has_value());
  release->Set();
  EXPECT_EQ(thread->WaitForEnd(5000ms), WaitStatus::kSignalled);
  EXPECT_EQ(thread->ExitCode(), 7u);
}

TEST(Thread, TerminateParksAThreadBlockedInAWait) {
  auto never = *Event::Create(Event::Kind::kManualReset);
  std::atomic<bool> ranOn{false};
  auto thread = StartThread([&] {
    never->Wait();
    ranOn = true;  // must never happen
    return 0u;
  });
  std::this_thread::sleep_for(20ms);
  thread->Terminate(255);
  EXPECT_EQ(thread->WaitForEnd(0ms), WaitStatus::kSignalled);
  EXPECT_EQ(thread->ExitCode(), 255u);
  never->Set();
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(ranOn.load());
}

TEST(Thread, TerminateStopsABodyThatNeverWaits) {
  // Shared state outside the thread object, which is gone at the end: the
  // parked thread keeps no access to anything it could still change.
  auto counter = std::make_shared<std::atomic<long>>(0);
  auto thread = StartThread([counter] {
    for (;;) counter->fetch_add(1);
    return 0u;
  });
  while (counter->load() == 0) std::this_thread::yield();
  thread->Terminate(255);
  EXPECT_EQ(thread->ExitCode(), 255u);
  EXPECT_TRUE(StaysStill(*counter));
  thread.reset();  // the handle is closed; the parked thread stays put
  EXPECT_TRUE(StaysStill(*counter));
}

TEST(Thread, TerminateAfterTheBodyReturnedKeepsItsExitCode) {
  auto thread = StartThread([] { return 3u; });
  ASSERT_EQ(thread->WaitForEnd(5000ms), WaitStatus::kSignalled);
  thread->Terminate(255);
  EXPECT_EQ(thread->ExitCode(), 3u);
}

}  // namespace
