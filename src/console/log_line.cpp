#include "console/log_line.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "console/console_lock.h"

namespace {

std::string FormatMessage(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::string text(static_cast<size_t>(needed) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<size_t>(needed));
  return text;
}

}  // namespace

std::string LogLinePrefix(const platform::SystemTime& time, const char* source) {
  return StringPrintf("%02u.%02u.%04u %02u:%02u:%02u.%03u  %s ", time.day, time.month, time.year,
                      time.hour, time.minute, time.second, time.millisecond,
                      source != nullptr ? source : "");
}

void LogLine(const char* source, const char* format, ...) {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  std::string line = LogLinePrefix(platform::CurrentSystemTime(), source);
  va_list args;
  va_start(args, format);
  line += FormatMessage(format, args);
  va_end(args);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}
