#pragma once
// Change notification on one directory (its subdirectories are not
// watched). It is signalled when a file there is complete: closed after
// writing, or moved in. The wait that reports it takes the pending changes;
// changes that come later signal it again, so none is lost while the
// directory is being scanned. Rearm renews the watch after a scan.

#include <memory>
#include <string>
#include <system_error>

#include "platform/error.h"
#include "platform/unique_fd.h"
#include "platform/waitable.h"

namespace platform {

class ChangeNotification final : public Waitable {
 public:
  static Result<std::unique_ptr<ChangeNotification>> Watch(const std::string& directory);

  ChangeNotification(const ChangeNotification&) = delete;
  ChangeNotification& operator=(const ChangeNotification&) = delete;

  // Renews the watch; fails when the directory is no longer there (a
  // directory created again under the same name is watched anew).
  std::error_code Rearm();

 private:
  ChangeNotification(UniqueFd descriptor, std::string directory)
      : descriptor_(std::move(descriptor)), directory_(std::move(directory)) {}

  int WaitDescriptor() const override { return descriptor_.Get(); }
  bool ClaimSignal() override;

  UniqueFd descriptor_;
  std::string directory_;
};

}  // namespace platform
