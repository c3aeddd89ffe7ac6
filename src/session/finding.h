#pragma once
// What a check found on a connection: its level, its kind (the same for
// every finding of one check, so that they count together) and its text
// for people. One function formats it as the log line every source writes.

#include <string>
#include <vector>

#include "util/text.h"

namespace session {

enum class Level { kInfo, kWarning, kError };

struct Finding {
  Level level = Level::kInfo;
  // The level and the text with every run of digits as one '#'
  // ("WARNING: Packet # not confirmed within # ms").
  std::string kind;
  std::string text;  // without the level and the line end
};

using Findings = std::vector<Finding>;

// "INFO", "WARNING", "ERROR".
const char* LevelName(Level level);

// A finding of `text`, its kind derived once here.
Finding MakeFinding(Level level, std::string text);
// The same with the text formatted printf-like.
Finding Info(const char* format, ...) KORVANE_PRINTF(1, 2);
Finding Warning(const char* format, ...) KORVANE_PRINTF(1, 2);

// "<LEVEL>: <text>\n", as the log lines take a message.
std::string FindingLine(const Finding& finding);

}  // namespace session
