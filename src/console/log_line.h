#pragma once
// Time-stamped log lines for server events: the UTC date and time with
// milliseconds, two blanks, the source text, one blank, then the message.

#include <string>

#include "platform/system_time.h"
#include "util/text.h"

// Source texts.
inline constexpr const char* kControlHandlerSource = "Main:  INFO:";
inline constexpr const char* kWorkThreadSource = "Main: ";

// "dd.mm.yyyy hh:mm:ss.mmm  <source> "
std::string LogLinePrefix(const platform::SystemTime& time, const char* source);

// A message's level ("ERROR", "WARNING" or "INFO", taken from its prefix;
// "INFO" without one) and its text without the prefix and the line end, as
// the log objects of -j carry them.
struct LeveledText {
  std::string level;
  std::string text;
};
LeveledText SplitLevel(std::string message);

// A message of the run for a person: lines such as "ERROR: ...",
// "WARNING: ..." or "INFO: ...", with any text around them. Without -j it
// is written as it is. With -j it goes to standard error as it is, and each
// of its lines that begins with a level also becomes a log object (source
// "Main") on standard output, so that standard output alone tells what went
// wrong in a run. Written in one piece while holding ConsoleLock.
void WriteMessage(const std::string& text);

// Writes the prefix for the current time and the message in one piece while
// holding ConsoleLock (a caller may already hold it), then flushes. The
// message is written as the format gives it, line feed included or not.
void LogLine(const char* source, const char* format, ...) KORVANE_PRINTF(2, 3);
