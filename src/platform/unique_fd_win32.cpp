#include "platform/unique_fd.h"

#include <io.h>

namespace platform {

// On Windows a descriptor is one of the C library's (pipes, standard input).
void UniqueFd::Reset(int descriptor) {
  if (descriptor_ >= 0) ::_close(descriptor_);
  descriptor_ = descriptor;
}

}  // namespace platform
