#include "platform/files.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

std::error_code MoveClosedFileReplacing(const std::string& source, const std::string& target) {
  // O_NONBLOCK: opening a FIFO found in the directory must not hang;
  // O_NOFOLLOW: a link is never taken for the file it points to.
  UniqueFd lease(RetryOnEintr(
      [&] { return ::open(source.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
  if (!lease.IsOpen()) {
    if (errno != EACCES && errno != EPERM) return LastError();
    if (EntryKindOf(source) != EntryKind::kRegular) return SystemError(EINVAL);
    return MoveFileReplacing(source, target);
  }
  struct stat status {};
  if (::fstat(lease.Get(), &status) != 0) return LastError();
  if (!S_ISREG(status.st_mode) || status.st_nlink > 1) return SystemError(EINVAL);
  // A writer opening the file while the lease is held makes the kernel signal
  // the holder, with SIGIO by default, which would end the process. SIGURG is
  // ignored unless handled, and nothing here handles it.
  if (::fcntl(lease.Get(), F_SETSIG, SIGURG) != 0) return LastError();
  if (::fcntl(lease.Get(), F_SETLEASE, F_RDLCK) != 0) {
    const int refusal = errno;
    if (refusal == EAGAIN) return SystemError(EBUSY);
    if (refusal != EACCES && refusal != EPERM && refusal != EINVAL) return SystemError(refusal);
    lease.Reset();
  }
  const std::error_code error = MoveFileReplacing(source, target);
  if (lease.IsOpen()) ::fcntl(lease.Get(), F_SETLEASE, F_UNLCK);
  return error;
}

std::error_code RenameNoReplace(const std::string& source, const std::string& target) {
  if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return {};
  }
  if (errno != EINVAL && errno != ENOSYS) return LastError();
  // No RENAME_NOREPLACE here: link() fails with EEXIST rather than replace.
  if (::link(source.c_str(), target.c_str()) != 0) return LastError();
  if (::unlink(source.c_str()) != 0) {
    const std::error_code error = LastError();
    ::unlink(target.c_str());
    return error;
  }
  return {};
}

Result<RegularFileReader> RegularFileReader::Open(const std::string& path, EntryKind& kind) {
  kind = EntryKind::kRegular;
  UniqueFd fd(RetryOnEintr(
      [&] { return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC); }));
  if (!fd.IsOpen()) {
    const std::error_code error = LastError();
    if (error.value() == ELOOP) kind = EntryKind::kSymbolicLink;
    return error;
  }
  struct stat status {};
  if (::fstat(fd.Get(), &status) != 0) return LastError();
  if (!S_ISREG(status.st_mode)) {
    kind = S_ISFIFO(status.st_mode)   ? EntryKind::kFifo
           : S_ISSOCK(status.st_mode) ? EntryKind::kSocket
           : S_ISCHR(status.st_mode)  ? EntryKind::kCharacterDevice
           : S_ISBLK(status.st_mode)  ? EntryKind::kBlockDevice
           : S_ISDIR(status.st_mode)  ? EntryKind::kDirectory
                                      : EntryKind::kOther;
    return SystemError(EINVAL);
  }
  return RegularFileReader(std::move(fd));
}

Result<std::size_t> RegularFileReader::Read(uint8_t* data, std::size_t size) {
  const ssize_t got = RetryOnEintr([&] { return ::read(fd_.Get(), data, size); });
  if (got < 0) return LastError();
  return static_cast<std::size_t>(got);
}

std::error_code DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) return LastError();
  return {};
}

}  // namespace platform
