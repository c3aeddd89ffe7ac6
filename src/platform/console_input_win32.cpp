#include "platform/console_input.h"

#include <io.h>

#include "platform/wait_set.h"
#include "platform/windows_api.h"

namespace platform {

namespace {

// How long a read waits on a pipe between looks: Windows cannot wait on
// an anonymous pipe, so a read looks whether bytes are there and waits for
// the close in between.
constexpr std::chrono::milliseconds kPipePollPause{10};

enum class Ready { kRead, kClosed, kFailed };

// The console input handle as a waitable: signalled while input events wait.
class ConsoleEvents final : public Waitable {
 public:
  explicit ConsoleEvents(HANDLE handle) : handle_(handle) {}

 private:
  void* WaitHandle() const override { return handle_; }
  HANDLE handle_;
};

Ready WaitForPipe(HANDLE input, Event* closed) {
  for (;;) {
    DWORD available = 0;
    // A pipe that is not a named pipe of Windows (Wine hands some through)
    // cannot be peeked: the read then simply blocks.
    if (!::PeekNamedPipe(input, nullptr, 0, nullptr, &available, nullptr)) {
      return Ready::kRead;
    }
    if (available > 0) return Ready::kRead;
    if (closed == nullptr) {
      platform::Sleep(kPipePollPause);
    } else if (closed->Wait(kPipePollPause) == WaitStatus::kSignalled) {
      return Ready::kClosed;
    }
  }
}

Ready WaitForInput(HANDLE input, Event* closed) {
  switch (::GetFileType(input)) {
    case FILE_TYPE_PIPE:
      return WaitForPipe(input, closed);
    case FILE_TYPE_CHAR: {
      DWORD mode = 0;
      if (!::GetConsoleMode(input, &mode)) return Ready::kRead;
      ConsoleEvents console(input);
      WaitSet waits;
      if (closed != nullptr) waits.Add(*closed);
      waits.Add(console);
      const WaitResult woken = waits.Wait();
      if (woken.status != WaitStatus::kSignalled) return Ready::kFailed;
      return woken.position + 1 == waits.Count() ? Ready::kRead : Ready::kClosed;
    }
    default:
      return Ready::kRead;  // a file never blocks
  }
}

}  // namespace

ConsoleInput::ConsoleInput(int descriptor) : descriptor_(descriptor) {
  auto event = Event::Create(Event::Kind::kManualReset);
  if (event) closedEvent_ = std::move(*event);
}

std::optional<std::string> ConsoleInput::ReadLine(std::size_t limit) {
  for (;;) {
    if (closed_.load()) return std::nullopt;
    if (std::optional<std::string> line = TakeLine(limit)) return line;
    if (endOfInput_) return std::nullopt;
    switch (ReadMore()) {
      case Fill::kMore:
        break;
      case Fill::kEnd:
        endOfInput_ = true;
        break;
      case Fill::kFailed:
        return std::nullopt;
    }
  }
}

void ConsoleInput::Close() {
  closed_.store(true);
  if (closedEvent_) closedEvent_->Set();
}

std::optional<std::string> ConsoleInput::TakeLine(std::size_t limit) {
  const std::size_t most = limit < 2 ? 1 : limit - 1;
  const std::size_t lineFeed = pending_.find('\n');
  std::size_t length = 0;
  if (lineFeed != std::string::npos && lineFeed < most) {
    length = lineFeed + 1;
  } else if (pending_.size() >= most) {
    length = most;
  } else if (endOfInput_ && !pending_.empty()) {
    length = pending_.size();
  } else {
    return std::nullopt;
  }
  std::string line = pending_.substr(0, length);
  pending_.erase(0, length);
  return line;
}

// Reads the bytes as they come: a console or a text-mode pipe may hand over
// CR LF, which the operator console's parsing already skips as blanks.
ConsoleInput::Fill ConsoleInput::ReadMore() {
  const auto input = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor_));
  if (input == INVALID_HANDLE_VALUE) return Fill::kFailed;
  switch (WaitForInput(input, closedEvent_.get())) {
    case Ready::kClosed:
      return Fill::kMore;  // ReadLine sees the close
    case Ready::kFailed:
      return Fill::kFailed;
    case Ready::kRead:
      break;
  }
  if (closed_.load()) return Fill::kMore;
  char buffer[4096];
  DWORD got = 0;
  if (!::ReadFile(input, buffer, sizeof buffer, &got, nullptr)) {
    const DWORD error = ::GetLastError();
    return error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF ? Fill::kEnd : Fill::kFailed;
  }
  if (got == 0) return Fill::kEnd;
  pending_.append(buffer, got);
  return Fill::kMore;
}

ConsoleInput& StandardInput() {
  // Never destroyed: a control-event thread may close it while the process ends.
  static ConsoleInput* const input = new ConsoleInput(0);
  return *input;
}

}  // namespace platform
