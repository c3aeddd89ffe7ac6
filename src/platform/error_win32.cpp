#include "platform/error.h"

#include <cerrno>
#include <string>

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

const Translation* TranslationOf(int errnoValue) {
  for (const Translation& translation : kTranslations) {
    if (translation.errnoValue == errnoValue) return &translation;
  }
  return nullptr;
}

// The layer's errors on Windows: errno values where a translation exists,
// otherwise Windows numbers. The C library of MinGW has no text for most
// of those errno values, so the text is Windows' own for the error that
// stands behind the value; and they compare equal to std::errc values.
class WindowsErrorCategory final : public std::error_category {
 public:
  const char* name() const noexcept override { return "windows"; }

  std::string message(int value) const override {
    const Translation* translation = TranslationOf(value);
    const DWORD code = translation != nullptr ? translation->windows : static_cast<DWORD>(value);
    char text[512];
    DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                    nullptr, code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r' ||
                          text[length - 1] == ' ' || text[length - 1] == '.')) {
      --length;
    }
    if (length == 0) return "error " + std::to_string(value);
    return std::string(text, length);
  }

  std::error_condition default_error_condition(int value) const noexcept override {
    if (TranslationOf(value) != nullptr) return {value, std::generic_category()};
    return {value, *this};
  }
};

const std::error_category& WindowsCategory() {
  static const WindowsErrorCategory category;
  return category;
}

}  // namespace

std::error_code SystemError(int errnoValue) { return {errnoValue, WindowsCategory()}; }

std::error_code WindowsError(unsigned long code) {
  for (const Translation& translation : kTranslations) {
    if (translation.windows == code) return SystemError(translation.errnoValue);
  }
  return SystemError(static_cast<int>(code));
}

std::error_code LastError() { return WindowsError(::GetLastError()); }

std::error_code LastSocketError() { return WindowsError(static_cast<unsigned long>(::WSAGetLastError())); }

}  // namespace platform
