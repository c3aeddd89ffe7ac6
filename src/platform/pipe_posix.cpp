#include "platform/pipe.h"

#include <fcntl.h>
#include <unistd.h>

#include "platform/posix_call.h"

namespace platform {

Result<std::unique_ptr<Pipe>> Pipe::Create() {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return LastError();
  return std::unique_ptr<Pipe>(new Pipe(UniqueFd(ends[0]), UniqueFd(ends[1])));
}

std::error_code Pipe::Write(std::string_view text) {
  while (!text.empty()) {
    const ssize_t put =
        RetryOnEintr([&] { return ::write(writeEnd_.Get(), text.data(), text.size()); });
    if (put < 0) return LastError();
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

}  // namespace platform
