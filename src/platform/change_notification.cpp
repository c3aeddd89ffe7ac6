#include "platform/change_notification.h"

#include <sys/inotify.h>
#include <unistd.h>

#include "platform/posix_call.h"

namespace platform {

namespace {

constexpr uint32_t kWatchedChanges = IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR;

std::error_code AddWatch(int descriptor, const std::string& directory) {
  if (::inotify_add_watch(descriptor, directory.c_str(), kWatchedChanges) < 0) return LastError();
  return {};
}

}  // namespace

Result<std::unique_ptr<ChangeNotification>> ChangeNotification::Watch(
    const std::string& directory) {
  UniqueFd descriptor(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
  if (!descriptor.IsOpen()) return LastError();
  if (const std::error_code error = AddWatch(descriptor.Get(), directory)) return error;
  return std::unique_ptr<ChangeNotification>(
      new ChangeNotification(std::move(descriptor), directory));
}

std::error_code ChangeNotification::Rearm() { return AddWatch(descriptor_.Get(), directory_); }

bool ChangeNotification::ClaimSignal() {
  // The changes themselves are not needed: the owner scans the directory.
  alignas(inotify_event) char buffer[4096];
  while (RetryOnEintr([&] { return ::read(descriptor_.Get(), buffer, sizeof buffer); }) > 0) {
  }
  return true;
}

}  // namespace platform
