#include "platform/console_input.h"

#include <unistd.h>

#include "platform/posix_call.h"
#include "platform/wait_set.h"

namespace platform {

namespace {

// The input descriptor as a waitable: signalled while input or its end is
// there to be read.
class InputReady final : public Waitable {
 public:
  explicit InputReady(int descriptor) : descriptor_(descriptor) {}

 private:
  int WaitDescriptor() const override { return descriptor_; }
  int descriptor_;
};

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

ConsoleInput::Fill ConsoleInput::ReadMore() {
  InputReady input(descriptor_);
  WaitSet waits;
  if (closedEvent_) waits.Add(*closedEvent_);
  waits.Add(input);
  const WaitResult woken = waits.Wait();
  if (woken.status != WaitStatus::kSignalled) return Fill::kFailed;
  if (closed_.load()) return Fill::kMore;  // ReadLine sees the close

  char buffer[4096];
  const ssize_t got = RetryOnEintr([&] { return ::read(descriptor_, buffer, sizeof buffer); });
  if (got > 0) {
    pending_.append(buffer, static_cast<std::size_t>(got));
    return Fill::kMore;
  }
  if (got == 0) return Fill::kEnd;
  return errno == EAGAIN ? Fill::kMore : Fill::kFailed;
}

ConsoleInput& StandardInput() {
  // Never destroyed: a control-event thread may close it while the process ends.
  static ConsoleInput* const input = new ConsoleInput(STDIN_FILENO);
  return *input;
}

}  // namespace platform
