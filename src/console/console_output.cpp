#include "console/console_output.h"

#include <atomic>
#include <cstdio>

#include "platform/console.h"

namespace {

std::atomic<bool> jsonLines{false};

void WriteTo(std::FILE* stream, const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stream);
  std::fflush(stream);
}

}  // namespace

void BufferStandardOutput() {
  // Given, not asked for: the C library takes no size without a buffer.
  // Static, as standard output is flushed after every destructor has run.
  static char block[64 * 1024];
  if (!platform::StandardOutputIsTerminal()) std::setvbuf(stdout, block, _IOFBF, sizeof block);
}

void SetJsonLines(bool on) { jsonLines.store(on); }

bool JsonLines() { return jsonLines.load(std::memory_order_relaxed); }

void WriteText(const std::string& text) { WriteTo(JsonLines() ? stderr : stdout, text); }

void WriteJsonLine(const std::string& line) {
  std::string text;
  text.reserve(line.size() + 1);
  text += line;
  text += '\n';
  WriteTo(stdout, text);
}
