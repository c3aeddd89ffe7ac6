#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/control_events.h"
#include "platform/event.h"

namespace {

using namespace std::chrono_literals;

// What the handler saw; a plain function pointer handler can only reach
// state of this kind.
std::mutex seenLock;
std::vector<int> seenEvents;
std::vector<std::thread::id> seenThreads;
platform::Event* handled = nullptr;

void RecordEvent(int event) {
  {
    std::lock_guard<std::mutex> hold(seenLock);
    seenEvents.push_back(event);
    seenThreads.push_back(std::this_thread::get_id());
  }
  handled->Set();
}

[[noreturn]] void Fail(const char* why) {
  std::fprintf(stderr, "%s\n", why);
  std::_Exit(1);
}

// Runs in a child process of its own: installing blocks the signals for good.
[[noreturn]] void RaiseEachEventAndCheck() {
  const auto event = platform::Event::Create(platform::Event::Kind::kAutoReset);
  if (!event.ok()) Fail("no event");
  handled = event->get();
  if (platform::InstallControlEventHandler(&RecordEvent)) Fail("install failed");
  if (platform::InstallControlEventHandler(&RecordEvent).value() != EALREADY) {
    Fail("a second install must fail");
  }
  for (const int raised : {0, 1, 2, 6}) {
    if (platform::RaiseControlEvent(raised)) Fail("raise failed");
    if (handled->Wait(5000ms) != platform::WaitStatus::kSignalled) Fail("handler not called");
  }
  if (platform::RaiseControlEvent(platform::kLogoffEvent).value() != EINVAL) {
    Fail("log-off has no signal");
  }
  std::lock_guard<std::mutex> hold(seenLock);
  if (seenEvents != std::vector<int>{0, 1, 2, 6}) Fail("wrong event numbers");
  for (const auto id : seenThreads) {
    if (id == std::this_thread::get_id()) Fail("handler ran on the main thread");
  }
  std::fprintf(stderr, "events 0 1 2 6 handled on their own thread\n");
  std::_Exit(0);
}

TEST(ControlEventsDeathTest, SignalsReachTheHandlerAsEventNumbersOnItsOwnThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(RaiseEachEventAndCheck(), testing::ExitedWithCode(0),
              "events 0 1 2 6 handled on their own thread");
}

}  // namespace
