#pragma once
// The current date and time in UTC, with milliseconds.

#include <chrono>
#include <cstdint>

namespace platform {

struct SystemTime {
  unsigned year = 0;
  unsigned month = 0;  // 1..12
  unsigned day = 0;    // 1..31
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
  unsigned millisecond = 0;
};

SystemTime ToSystemTime(std::chrono::system_clock::time_point time);

SystemTime CurrentSystemTime();

// Seconds since 1970-01-01 00:00:00 UTC of a time (its milliseconds dropped).
int64_t UnixSeconds(const SystemTime& time);

}  // namespace platform
