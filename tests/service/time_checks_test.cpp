#include "service/time_checks.h"

#include <gtest/gtest.h>

#include "util/utc_time.h"

namespace {

using EGTS::Field;

constexpr int64_t kReception = 1924992000;  // 2031-01-01 00:00:00 UTC
constexpr uint32_t kReceptionEgts = kReception - kEgtsEpochOffset;

TEST(TimeChecks, EgtsTimesAgainstTheReception) {
  struct Case {
    uint32_t egtsSeconds;
    const char* expected;  // empty: no check
  };
  const Case cases[] = {
      {kReceptionEgts, ""},
      {kReceptionEgts + 86400, ""},
      {kReceptionEgts + 86401,
       "NTM 02.01.2031 00:00:01 GMT is more than one day after the reception"},
      {0, ""},
      {0xFFFFFFFF, "NTM 07.02.2146 06:28:15 GMT is more than one day after the reception"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> checks;
    // Nested as deep as an array of objects, next to an unmarked time.
    const EGTS::FieldList fields = {
        Field::Unsigned("SA", 0xFFFFFFFF),
        Field::Array("points",
                     {Field::Object("", {Field::Unsigned("NTM", c.egtsSeconds).EgtsTime()})})};
    EGTS::AppendTimeChecks(fields, kReception, checks);
    if (c.expected[0] == '\0') {
      EXPECT_TRUE(checks.empty()) << c.egtsSeconds;
    } else {
      EXPECT_EQ(checks, std::vector<std::string>{c.expected}) << c.egtsSeconds;
    }
  }
}

TEST(TimeChecks, UnixTimesBeforeTheEgtsEpoch) {
  EXPECT_EQ(EGTS::TimeCheckText("TIME_STAMP", kEgtsEpochOffset - 1, kReception),
            "TIME_STAMP 31.12.2009 23:59:59 GMT is before 01.01.2010");
  EXPECT_EQ(EGTS::TimeCheckText("TIME_STAMP", kEgtsEpochOffset, kReception), "");
}

}  // namespace
