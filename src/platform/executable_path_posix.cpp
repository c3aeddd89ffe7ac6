#include "platform/executable_path.h"

#include <unistd.h>

#include <climits>

namespace platform {

std::string ExecutablePath() {
  char path[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
  if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return "";
  return std::string(path, static_cast<size_t>(length));
}

}  // namespace platform
