#include "platform/system_time.h"

namespace platform {

SystemTime ToSystemTime(std::chrono::system_clock::time_point time) {
  using namespace std::chrono;
  const auto sinceEpoch = floor<milliseconds>(time);
  const sys_days day = floor<days>(sinceEpoch);
  const year_month_day date{day};
  const hh_mm_ss<milliseconds> clock{sinceEpoch - day};
  SystemTime result;
  result.year = static_cast<unsigned>(static_cast<int>(date.year()));
  result.month = static_cast<unsigned>(date.month());
  result.day = static_cast<unsigned>(date.day());
  result.hour = static_cast<unsigned>(clock.hours().count());
  result.minute = static_cast<unsigned>(clock.minutes().count());
  result.second = static_cast<unsigned>(clock.seconds().count());
  result.millisecond = static_cast<unsigned>(clock.subseconds().count());
  return result;
}

SystemTime CurrentSystemTime() { return ToSystemTime(std::chrono::system_clock::now()); }

}  // namespace platform

namespace platform {

int64_t UnixSeconds(const SystemTime& time) {
  using namespace std::chrono;
  const sys_days days{year_month_day{year{static_cast<int>(time.year)}, month{time.month},
                                     day{time.day}}};
  return days.time_since_epoch().count() * int64_t{86400} + time.hour * int64_t{3600} +
         time.minute * int64_t{60} + time.second;
}

}  // namespace platform
