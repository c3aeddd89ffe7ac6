#include "platform/pipe.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace platform {

// The C library's pipe, in binary mode, so that its descriptors stand in for
// standard input as a redirected one would.
Result<std::unique_ptr<Pipe>> Pipe::Create() {
  int ends[2];
  if (::_pipe(ends, 64 * 1024, _O_BINARY | _O_NOINHERIT) != 0) return SystemError(errno);
  return std::unique_ptr<Pipe>(new Pipe(UniqueFd(ends[0]), UniqueFd(ends[1])));
}

std::error_code Pipe::Write(std::string_view text) {
  while (!text.empty()) {
    const unsigned piece = text.size() > 65536 ? 65536u : static_cast<unsigned>(text.size());
    const int put = ::_write(writeEnd_.Get(), text.data(), piece);
    if (put < 0) return SystemError(errno);
    text.remove_prefix(static_cast<std::size_t>(put));
  }
  return {};
}

}  // namespace platform
