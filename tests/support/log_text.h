#pragma once
// Reading the time stamp of a log line in test output.

#include <cstddef>
#include <string>

namespace testing_support {

// The length of "dd.mm.yyyy hh:mm:ss.mmm".
inline constexpr std::size_t kTimeStampLength = 23;

// True for "dd.mm.yyyy hh:mm:ss.mmm": digits where the pattern has 9.
inline bool IsTimeStamp(const std::string& text) {
  const std::string pattern = "99.99.9999 99:99:99.999";
  if (text.size() != pattern.size()) return false;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (pattern[i] == '9' ? !digit : text[i] != pattern[i]) return false;
  }
  return true;
}

}  // namespace testing_support
