#include "transport/utc_time.h"

#include <chrono>

bool ToUtcDateTime(int64_t unixSeconds, UtcDateTime& out) {
  using namespace std::chrono;
  // Years 0..9999 keep the four-digit year field of every report honest.
  constexpr int64_t kFirst = -62167219200;  // 0000-01-01
  constexpr int64_t kLast = 253402300799;   // 9999-12-31 23:59:59
  if (unixSeconds < kFirst || unixSeconds > kLast) return false;
  const sys_seconds t{seconds{unixSeconds}};
  const sys_days day = floor<days>(t);
  const year_month_day ymd{day};
  const hh_mm_ss<seconds> hms{t - day};
  out.year = static_cast<unsigned>(static_cast<int>(ymd.year()));
  out.month = static_cast<unsigned>(ymd.month());
  out.day = static_cast<unsigned>(ymd.day());
  out.hour = static_cast<unsigned>(hms.hours().count());
  out.minute = static_cast<unsigned>(hms.minutes().count());
  out.second = static_cast<unsigned>(hms.seconds().count());
  return true;
}
