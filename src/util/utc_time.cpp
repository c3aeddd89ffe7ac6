#include "util/utc_time.h"

#include <array>
#include <chrono>
#include <cstring>
#include <cstdio>

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

namespace {

// "00" to "99", two characters each: digits written two at a time.
constexpr std::array<char, 200> kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[static_cast<std::size_t>(2 * i)] = static_cast<char>('0' + i / 10);
    pairs[static_cast<std::size_t>(2 * i + 1)] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The last `count` decimal digits of value, zeros in front.
void PutDigits(char*& at, unsigned value, int count) {
  int i = count;
  for (; i >= 2; i -= 2) {
    std::memcpy(at + i - 2, kDigitPairs.data() + 2 * (value % 100), 2);
    value /= 100;
  }
  if (i == 1) at[0] = static_cast<char>('0' + value % 10);
  at += count;
}

}  // namespace

std::size_t IsoTextInto(const UtcDateTime& t, int fraction, unsigned fractionValue,
                        char (&text)[kIsoTextRoom]) {
  if (fraction > 9) fraction = 9;
  char* at = text;
  PutDigits(at, t.year, 4);
  *at++ = '-';
  PutDigits(at, t.month, 2);
  *at++ = '-';
  PutDigits(at, t.day, 2);
  *at++ = 'T';
  PutDigits(at, t.hour, 2);
  *at++ = ':';
  PutDigits(at, t.minute, 2);
  *at++ = ':';
  PutDigits(at, t.second, 2);
  if (fraction > 0) {
    *at++ = '.';
    PutDigits(at, fractionValue, fraction);
  }
  *at++ = 'Z';
  return static_cast<std::size_t>(at - text);
}

std::string IsoText(const UtcDateTime& t, int fraction, unsigned fractionValue) {
  char text[kIsoTextRoom];
  return std::string(text, IsoTextInto(t, fraction, fractionValue, text));
}

std::size_t IsoUtcTextInto(int64_t unixSeconds, char (&text)[kIsoTextRoom]) {
  UtcDateTime t;
  if (!ToUtcDateTime(unixSeconds, t)) return 0;
  return IsoTextInto(t, 0, 0, text);
}

std::string IsoUtcText(int64_t unixSeconds, int milliseconds) {
  UtcDateTime t;
  if (!ToUtcDateTime(unixSeconds, t)) return std::string();
  if (milliseconds < 0) return IsoText(t, 0, 0);
  return IsoText(t, 3, static_cast<unsigned>(milliseconds % 1000));
}

std::string UnixTimeText(int64_t unixSeconds) {
  UtcDateTime t;
  if (!ToUtcDateTime(unixSeconds, t)) return "ERROR: incorrect DateTime value";
  char text[40];
  std::snprintf(text, sizeof text, "%02u.%02u.%04u %02u:%02u:%02u GMT", t.day, t.month, t.year,
                t.hour, t.minute, t.second);
  return text;
}

std::string EgtsTimeText(uint32_t egtsSeconds) {
  return UnixTimeText(static_cast<int64_t>(egtsSeconds) + kEgtsEpochOffset);
}
