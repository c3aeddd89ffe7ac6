#pragma once
// Change notification on one directory (its subdirectories are not
// watched). It is signalled when a file there is complete: closed after
// writing, or moved in. The wait that reports it takes the pending changes;
// changes that come later signal it again, so none is lost while the
// directory is being scanned. Rearm renews the watch after a scan.
// On Windows it is a change notification handle for new names and last
// writes, renewed by the wait that reports it.

#include <memory>
#include <set>
#include <string>
#include <system_error>

#include "platform/error.h"
#ifdef _WIN32
#include "platform/unique_handle.h"
#else
#include "platform/unique_fd.h"
#endif
#include "platform/waitable.h"

namespace platform {

class ChangeNotification final : public Waitable {
 public:
  static Result<std::unique_ptr<ChangeNotification>> Watch(const std::string& directory);

  ChangeNotification(const ChangeNotification&) = delete;
  ChangeNotification& operator=(const ChangeNotification&) = delete;
#ifdef _WIN32
  ~ChangeNotification() override;
#endif

  // Renews the watch; fails when the directory is no longer there (a
  // directory created again under the same name is watched anew).
  std::error_code Rearm();

  // What the signals since the last call said changed: the names of the
  // entries closed after writing or moved in, as far as the system names
  // them. `unnamed` is set when it did not name them all (Windows never
  // does; on Linux a queue that overflowed, or more than kMostNames names).
  // Only the thread that waits on the notification.
  struct Changes {
    std::set<std::string> names;
    bool unnamed = false;
  };
  static constexpr std::size_t kMostNames = 1024;
  Changes TakeChanges();

 private:
#ifdef _WIN32
  ChangeNotification(UniqueHandle handle, std::string directory)
      : handle_(std::move(handle)), directory_(std::move(directory)) {}

  void* WaitHandle() const override { return handle_.IsOpen() ? handle_.Get() : nullptr; }
  bool ClaimSignal() override;

  // Closed with FindCloseChangeNotification, not CloseHandle.
  UniqueHandle handle_;
  std::string directory_;
  Changes pending_;
#else
  ChangeNotification(UniqueFd descriptor, std::string directory)
      : descriptor_(std::move(descriptor)), directory_(std::move(directory)) {}

  int WaitDescriptor() const override { return descriptor_.Get(); }
  bool ClaimSignal() override;

  UniqueFd descriptor_;
  std::string directory_;
  Changes pending_;
#endif
};

}  // namespace platform
