#pragma once
// The owner of one socket: a file descriptor on POSIX, a WinSock SOCKET on
// Windows.

#ifdef _WIN32
#include "platform/unique_handle.h"
#else
#include "platform/unique_fd.h"

namespace platform {
using UniqueSocket = UniqueFd;
}  // namespace platform
#endif
