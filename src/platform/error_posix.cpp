#include "platform/error.h"

#include <cerrno>

namespace platform {

std::error_code SystemError(int errnoValue) {
  return {errnoValue, std::system_category()};
}

std::error_code LastError() { return SystemError(errno); }

}  // namespace platform
