#include "platform/change_notification.h"

#include <utility>

#include "platform/windows_api.h"

namespace platform {

namespace {

// A name that appears (created, renamed or moved in) and a write that ends
// (the writer's close flushes the last one).
constexpr DWORD kWatchedChanges = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE;

// Opening it tells more than its attributes: a directory that was removed
// while this watch holds it open stays listed until the watch lets go, but
// can no longer be opened (its delete is pending).
bool DirectoryIsThere(const std::string& path) {
  HANDLE directory = ::CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (directory == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(directory);
  return true;
}

}  // namespace

Result<std::unique_ptr<ChangeNotification>> ChangeNotification::Watch(
    const std::string& directory) {
  HANDLE handle = ::FindFirstChangeNotificationA(directory.c_str(), FALSE, kWatchedChanges);
  if (handle == INVALID_HANDLE_VALUE) return LastError();
  return std::unique_ptr<ChangeNotification>(
      new ChangeNotification(UniqueHandle(handle), directory));
}

ChangeNotification::~ChangeNotification() {
  if (handle_.IsOpen()) ::FindCloseChangeNotification(handle_.Release());
}

// The watch was renewed by the wait that reported it, before the scan, so
// a change during the scan already signals the next wait. What is left is
// to tell that the directory is still there.
std::error_code ChangeNotification::Rearm() {
  if (!DirectoryIsThere(directory_)) return SystemError(ENOENT);
  return {};
}

ChangeNotification::Changes ChangeNotification::TakeChanges() {
  Changes taken;
  std::swap(taken, pending_);
  return taken;
}

// Renews the watch at once and takes along the changes that are already
// pending (one file brings several: its name, then its writes), so that one
// complete file gives one wake-up where the system has delivered them. A
// change notification handle names no file.
bool ChangeNotification::ClaimSignal() {
  pending_.unnamed = true;
  constexpr int kMostPending = 16;
  for (int i = 0; i < kMostPending; ++i) {
    if (!::FindNextChangeNotification(handle_.Get())) break;
    if (::WaitForSingleObject(handle_.Get(), 0) != WAIT_OBJECT_0) break;
  }
  return true;
}

}  // namespace platform
