#include "platform/executable_path.h"

#include <vector>

#include "platform/windows_api.h"

namespace platform {

std::string ExecutablePath() {
  std::vector<char> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return "";
    // A full buffer may hold a cut name: try a larger one.
    if (length < path.size()) return std::string(path.data(), length);
    if (path.size() >= 32768) return "";
    path.resize(path.size() * 2);
  }
}

}  // namespace platform
