#pragma once
// Calendar conversion of seconds since 1970-01-01 00:00:00 UTC, and the EGTS
// epoch (seconds since 2010-01-01 00:00:00 UTC).

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint32_t kEgtsEpochOffset = 1262304000;  // 2010-01-01 in Unix time

struct UtcDateTime {
  unsigned year = 0;
  unsigned month = 0;  // 1..12
  unsigned day = 0;    // 1..31
  unsigned hour = 0;
  unsigned minute = 0;
  unsigned second = 0;
};

// False when the value has no calendar date in years 0..9999.
bool ToUtcDateTime(int64_t unixSeconds, UtcDateTime& out);

// "yyyy-mm-ddThh:mm:ss" of a calendar time, then `fraction` digits of
// `fractionValue` after a point (none when fraction is 0), then "Z". Written
// without printf: reports of many packets call it for each.
std::string IsoText(const UtcDateTime& t, int fraction, unsigned fractionValue);

// The same text into a buffer, without a heap: its length is returned (at
// most kIsoTextRoom; fraction at most 9).
constexpr std::size_t kIsoTextRoom = 32;
std::size_t IsoTextInto(const UtcDateTime& t, int fraction, unsigned fractionValue,
                        char (&text)[kIsoTextRoom]);

// "yyyy-mm-ddThh:mm:ssZ", or with milliseconds "yyyy-mm-ddThh:mm:ss.mmmZ";
// an empty text when the value has no calendar date.
std::string IsoUtcText(int64_t unixSeconds, int milliseconds = -1);
// The same into a buffer: its length, 0 when the value has no date.
std::size_t IsoUtcTextInto(int64_t unixSeconds, char (&text)[kIsoTextRoom]);

// "dd.mm.yyyy hh:mm:ss GMT" of a Unix time; "ERROR: incorrect DateTime
// value" when it has no calendar date.
std::string UnixTimeText(int64_t unixSeconds);

// "dd.mm.yyyy hh:mm:ss GMT" of an EGTS time (seconds since 2010-01-01 UTC),
// computed in 64 bits.
std::string EgtsTimeText(uint32_t egtsSeconds);
