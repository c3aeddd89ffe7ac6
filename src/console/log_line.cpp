#include "console/log_line.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"

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

namespace {

// The log object of -j: "Main" for the work thread and the control handler,
// else the client id.
std::string LogObject(const platform::SystemTime& time, const char* source,
                      const std::string& message) {
  std::string origin = source != nullptr ? source : "";
  if (origin == kControlHandlerSource || origin == kWorkThreadSource) origin = "Main";
  const LeveledText split = SplitLevel(message);
  return LogJsonLine(time, origin, split.level, split.text);
}

}  // namespace

LeveledText SplitLevel(std::string message) {
  std::string level = "INFO";
  for (const char* prefix : {"ERROR", "WARNING", "INFO"}) {
    const std::string head = std::string(prefix) + ": ";
    if (message.compare(0, head.size(), head) == 0) {
      level = prefix;
      message.erase(0, head.size());
      break;
    }
  }
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) message.pop_back();
  return {level, message};
}

void LogLine(const char* source, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string message = FormatMessage(format, args);
  va_end(args);
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  // Taken under the lock, so the times of the lines only ever go forward.
  const platform::SystemTime now = platform::CurrentSystemTime();
  if (JsonLines()) {
    WriteJsonLine(LogObject(now, source, message));
    return;
  }
  const std::string line = LogLinePrefix(now, source) + message;
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}
