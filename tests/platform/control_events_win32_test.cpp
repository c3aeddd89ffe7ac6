// Windows only: control events reach the handler as the console delivers
// them, on a thread of their own (the POSIX build tests signals instead).
#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/control_events.h"
#include "platform/event.h"

namespace {

using namespace std::chrono_literals;

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

// Installing is once per process, so one test covers the whole path.
TEST(ControlEvents, EveryEventReachesTheHandlerOnItsOwnThreadAndBadNumbersAreRefused) {
  auto event = platform::Event::Create(platform::Event::Kind::kAutoReset);
  ASSERT_TRUE(event.ok());
  handled = event->get();
  ASSERT_FALSE(platform::InstallControlEventHandler(&RecordEvent));
  EXPECT_EQ(platform::InstallControlEventHandler(&RecordEvent).value(), EALREADY);

  const std::vector<int> raised{platform::kCtrlCEvent, platform::kCtrlBreakEvent,
                                platform::kCloseEvent, platform::kLogoffEvent,
                                platform::kShutdownEvent};
  for (const int number : raised) {
    ASSERT_FALSE(platform::RaiseControlEvent(number));
    ASSERT_EQ(handled->Wait(5000ms), platform::WaitStatus::kSignalled) << "event " << number;
  }
  for (const int bad : {3, 4, 7, -1}) {
    EXPECT_EQ(platform::RaiseControlEvent(bad).value(), EINVAL) << "event " << bad;
  }
  EXPECT_EQ(handled->Wait(50ms), platform::WaitStatus::kTimedOut) << "a refused event ran";

  std::lock_guard<std::mutex> hold(seenLock);
  EXPECT_EQ(seenEvents, raised);
  for (const auto id : seenThreads) EXPECT_NE(id, std::this_thread::get_id());
}

}  // namespace
