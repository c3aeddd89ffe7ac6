#pragma once
// Where the console's texts go. Without -j everything goes to standard
// output. With -j standard output carries JSON Lines only, one object per
// line, and every text meant for a person (banner, messages, prompts,
// separators, the operator console's echo) goes to standard error
// unchanged. The mode is set once at start-up, before any other thread.

#include <string>

void SetJsonLines(bool on);
bool JsonLines();

// A text for a person, in one piece, flushed. Callers that must not mix
// with other threads' output hold ConsoleLock.
void WriteText(const std::string& text);

// One JSON object (without line end) and its line end, in one piece, to
// standard output.
void WriteJsonLine(const std::string& line);
