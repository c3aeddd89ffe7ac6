#pragma once
// Where the console's texts go. Without -j everything goes to standard
// output. With -j standard output carries JSON Lines only, one object per
// line, and every text meant for a person (banner, messages, prompts,
// separators, the operator console's echo) goes to standard error
// unchanged. The mode is set once at start-up, before any other thread.

#include <string>

// Standard output that goes to a file or pipe is written in blocks of
// 64 KiB rather than the C library's 4 KiB: a capture's JSON Lines run to
// a gigabyte, and a write a page cost a third of the run's time. Texts that
// are flushed as they are written still are. First thing at start-up,
// before anything is written to standard output.
void BufferStandardOutput();

void SetJsonLines(bool on);
bool JsonLines();

// A text for a person, in one piece, flushed. Callers that must not mix
// with other threads' output hold ConsoleLock.
void WriteText(const std::string& text);

// One JSON object (without line end) and its line end, in one piece, to
// standard output.
void WriteJsonLine(const std::string& line);
