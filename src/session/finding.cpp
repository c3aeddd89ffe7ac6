#include "session/finding.h"

#include <cstdarg>
#include <cstdio>

namespace session {

namespace {

std::string Kind(Level level, const std::string& text) {
  std::string kind = std::string(LevelName(level)) + ": ";
  bool inNumber = false;
  for (const char c : text) {
    const bool digit = c >= '0' && c <= '9';
    if (digit && !inNumber) kind += '#';
    if (!digit) kind += c;
    inNumber = digit;
  }
  return kind;
}

std::string Format(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (needed <= 0) return {};
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  std::vsnprintf(text.data(), text.size(), format, args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

}  // namespace

const char* LevelName(Level level) {
  switch (level) {
    case Level::kInfo:
      return "INFO";
    case Level::kWarning:
      return "WARNING";
    case Level::kError:
      return "ERROR";
  }
  return "INFO";
}

Finding MakeFinding(Level level, std::string text) {
  Finding finding;
  finding.level = level;
  finding.kind = Kind(level, text);
  finding.text = std::move(text);
  return finding;
}

Finding Info(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  return MakeFinding(Level::kInfo, std::move(text));
}

Finding Warning(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = Format(format, args);
  va_end(args);
  return MakeFinding(Level::kWarning, std::move(text));
}

std::string FindingLine(const Finding& finding) {
  return std::string(LevelName(finding.level)) + ": " + finding.text + "\n";
}

}  // namespace session
