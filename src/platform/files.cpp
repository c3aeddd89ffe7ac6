#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/error.h"
#include "platform/posix_call.h"
#include "platform/unique_fd.h"

namespace platform {

namespace {

std::error_code CopyAll(int from, int to) {
  std::vector<char> buffer(64 * 1024);
  for (;;) {
    const ssize_t got = RetryOnEintr([&] { return ::read(from, buffer.data(), buffer.size()); });
    if (got < 0) return LastError();
    if (got == 0) return {};
    for (ssize_t done = 0; done < got;) {
      const ssize_t put =
          RetryOnEintr([&] { return ::write(to, buffer.data() + done, static_cast<size_t>(got - done)); });
      if (put < 0) return LastError();
      done += put;
    }
  }
}

// Copies source into a new file beside target and renames it over target.
std::error_code CopyReplacing(const std::string& source, const std::string& target) {
  UniqueFd from(RetryOnEintr([&] { return ::open(source.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!from.IsOpen()) return LastError();
  struct stat status {};
  if (::fstat(from.Get(), &status) != 0) return LastError();

  std::string temporary = target + ".XXXXXX";
  UniqueFd to(::mkostemp(temporary.data(), O_CLOEXEC));
  if (!to.IsOpen()) return LastError();
  std::error_code error = CopyAll(from.Get(), to.Get());
  if (!error && ::fchmod(to.Get(), status.st_mode & 07777) != 0) error = LastError();
  if (!error && ::close(to.Release()) != 0) error = LastError();
  if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) error = LastError();
  if (error) ::unlink(temporary.c_str());
  return error;
}

}  // namespace

std::error_code MoveFileReplacing(const std::string& source, const std::string& target) {
  if (::rename(source.c_str(), target.c_str()) == 0) return {};
  if (errno != EXDEV) return LastError();
  if (const std::error_code error = CopyReplacing(source, target)) return error;
  return DeleteFile(source);
}

std::error_code DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return LastError();
  return {};
}

}  // namespace platform
