#include "platform/change_notification.h"

#include <utility>

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

ChangeNotification::Changes ChangeNotification::TakeChanges() {
  Changes taken;
  std::swap(taken, pending_);
  return taken;
}

// Takes every event waiting and keeps the names they carry, so that the
// owner knows which files were closed or moved in; past kMostNames, or
// when the kernel lost events, only that something changed.
bool ChangeNotification::ClaimSignal() {
  alignas(inotify_event) char buffer[4096];
  for (;;) {
    const ssize_t got =
        RetryOnEintr([&] { return ::read(descriptor_.Get(), buffer, sizeof buffer); });
    if (got <= 0) break;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_Q_OVERFLOW) pending_.unnamed = true;
      if (event->len > 0 && !pending_.unnamed) {
        if (pending_.names.size() < kMostNames) {
          pending_.names.insert(event->name);  // NUL-padded to len
        } else {
          pending_.unnamed = true;
        }
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return true;
}

}  // namespace platform
