#include "platform/unique_fd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::Reset(int descriptor) {
  // close() is not repeated on EINTR: on Linux the descriptor is gone anyway.
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = descriptor;
}

}  // namespace platform
