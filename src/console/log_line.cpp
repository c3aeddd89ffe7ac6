#include "console/log_line.h"

#include <algorithm>
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

void WriteMessage(const std::string& text) {
  if (text.empty()) return;
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (JsonLines()) {
    const platform::SystemTime now = platform::CurrentSystemTime();
    std::string objects;
    for (std::size_t at = 0; at < text.size();) {
      const std::size_t end = std::min(text.find('\n', at), text.size());
      const std::string line = text.substr(at, end - at);
      at = end + 1;
      const bool leveled = line.rfind("ERROR: ", 0) == 0 || line.rfind("WARNING: ", 0) == 0 ||
                           line.rfind("INFO: ", 0) == 0;
      if (!leveled) continue;
      const LeveledText split = SplitLevel(line);
      objects += LogJsonLine(now, "Main", split.level, split.text) + "\n";
    }
    std::fwrite(objects.data(), 1, objects.size(), stdout);
    std::fflush(stdout);
  }
  WriteText(text);
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
