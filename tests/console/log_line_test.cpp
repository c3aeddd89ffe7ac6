#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/log_line.h"
#include "platform/system_time.h"

namespace {

using namespace std::chrono;

constexpr size_t kStampLength = 23;

// True for "dd.mm.yyyy hh:mm:ss.mmm": digits where the pattern has 9.
bool IsTimeStamp(const std::string& text) {
  const std::string pattern = "99.99.9999 99:99:99.999";
  if (text.size() != pattern.size()) return false;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
  }
  return true;
}

// Splits "<time stamp>  <rest>" lines; false when a line has no stamp.
bool SplitStamped(const std::string& out, std::vector<std::string>& rests) {
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    if (!IsTimeStamp(line.substr(0, kStampLength))) return false;
    rests.push_back(line.substr(kStampLength));
  }
  return true;
}

TEST(LogLine, PrefixHasDateTimeMillisecondsTwoBlanksSourceAndABlank) {
  const auto moment = sys_days{2026y / March / 5} + 7h + 8min + 9s + 45ms;
  const platform::SystemTime time = platform::ToSystemTime(moment);
  EXPECT_EQ(LogLinePrefix(time, kWorkThreadSource), "05.03.2026 07:08:09.045  Main:  ");
  EXPECT_EQ(LogLinePrefix(time, kControlHandlerSource), "05.03.2026 07:08:09.045  Main:  INFO: ");
  EXPECT_EQ(LogLinePrefix(time, "00ABCDEF"), "05.03.2026 07:08:09.045  00ABCDEF ");
}

TEST(LogLine, WritesThePrefixAndTheMessageAsItStands) {
  testing::internal::CaptureStdout();
  LogLine("00C0FFEE", "INFO: Connection closed by remote side\n");
  LogLine(kWorkThreadSource, "ERROR: file writing failed.");
  LogLine(kWorkThreadSource, "INFO: Stoped with cause %lu\n", 0ul);
  const std::string out = testing::internal::GetCapturedStdout();

  // The message without line feed runs on into the next line's stamp.
  std::vector<std::string> rests;
  ASSERT_TRUE(SplitStamped(out, rests)) << out;
  ASSERT_EQ(rests.size(), 2u) << out;
  EXPECT_EQ(rests[0], "  00C0FFEE INFO: Connection closed by remote side");
  const std::string joined = "  Main:  ERROR: file writing failed.";
  ASSERT_EQ(rests[1].substr(0, joined.size()), joined);
  EXPECT_TRUE(IsTimeStamp(rests[1].substr(joined.size(), kStampLength))) << out;
  EXPECT_EQ(rests[1].substr(joined.size() + kStampLength), "  Main:  INFO: Stoped with cause 0");
  EXPECT_EQ(out.back(), '\n');
}

TEST(LogLine, LinesOfManyThreadsNeverMix) {
  testing::internal::CaptureStdout();
  std::vector<std::thread> writers;
  for (int t = 0; t < 4; ++t) {
    writers.emplace_back([t] {
      for (int i = 0; i < 100; ++i) LogLine("Thread", "INFO: writer %d line %d of a log\n", t, i);
    });
  }
  for (auto& writer : writers) writer.join();
  const std::string out = testing::internal::GetCapturedStdout();

  std::vector<std::string> rests;
  ASSERT_TRUE(SplitStamped(out, rests));
  ASSERT_EQ(rests.size(), 400u);
  for (const std::string& rest : rests) {
    int writer = -1;
    int line = -1;
    char tail[32] = {};
    ASSERT_EQ(std::sscanf(rest.c_str(), "  Thread INFO: writer %d line %d %31[^\n]", &writer, &line, tail), 3)
        << rest;
    EXPECT_STREQ(tail, "of a log") << rest;
  }
}

}  // namespace
