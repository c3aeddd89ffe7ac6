#include "platform/error.h"

#include <cerrno>

#include "platform/windows_api.h"
#include "platform/windows_error.h"

namespace platform {

namespace {

struct Translation {
  unsigned long windows;
  int errnoValue;
};

// Only the failures that callers or messages tell apart.
constexpr Translation kTranslations[] = {
    {ERROR_FILE_NOT_FOUND, ENOENT},
    {ERROR_PATH_NOT_FOUND, ENOENT},
    {ERROR_INVALID_NAME, ENOENT},
    {ERROR_ACCESS_DENIED, EACCES},
    {ERROR_INVALID_HANDLE, EBADF},
    {ERROR_NOT_ENOUGH_MEMORY, ENOMEM},
    {ERROR_OUTOFMEMORY, ENOMEM},
    {ERROR_NOT_SAME_DEVICE, EXDEV},
    {ERROR_SHARING_VIOLATION, EBUSY},
    {ERROR_LOCK_VIOLATION, EBUSY},
    {ERROR_FILE_EXISTS, EEXIST},
    {ERROR_ALREADY_EXISTS, EEXIST},
    {ERROR_INVALID_PARAMETER, EINVAL},
    {ERROR_DIRECTORY, ENOTDIR},
    {ERROR_BROKEN_PIPE, EPIPE},
    {ERROR_TIMEOUT, ETIMEDOUT},
    {WSAEINTR, EINTR},
    {WSAEBADF, EBADF},
    {WSAENOTSOCK, EBADF},
    {WSAEACCES, EACCES},
    {WSAEINVAL, EINVAL},
    {WSAEMFILE, EMFILE},
    {WSAEWOULDBLOCK, EAGAIN},
    {WSAEINPROGRESS, EINPROGRESS},
    {WSAEALREADY, EALREADY},
    {WSAEADDRINUSE, EADDRINUSE},
    {WSAEADDRNOTAVAIL, EADDRNOTAVAIL},
    {WSAENETUNREACH, ENETUNREACH},
    {WSAECONNABORTED, ECONNABORTED},
    {WSAECONNRESET, ECONNRESET},
    {WSAENOBUFS, ENOBUFS},
    {WSAENOTCONN, ENOTCONN},
    {WSAESHUTDOWN, EPIPE},
    {WSAETIMEDOUT, ETIMEDOUT},
    {WSAECONNREFUSED, ECONNREFUSED},
    {WSAEHOSTUNREACH, EHOSTUNREACH},
};

}  // namespace

std::error_code SystemError(int errnoValue) { return {errnoValue, std::system_category()}; }

std::error_code WindowsError(unsigned long code) {
  for (const Translation& translation : kTranslations) {
    if (translation.windows == code) return SystemError(translation.errnoValue);
  }
  return SystemError(static_cast<int>(code));
}

std::error_code LastError() { return WindowsError(::GetLastError()); }

std::error_code LastSocketError() { return WindowsError(static_cast<unsigned long>(::WSAGetLastError())); }

}  // namespace platform
