#pragma once
// Internal to the Win32 side of the platform layer: Windows error numbers
// (GetLastError, WSAGetLastError) as this layer's errors.

#include <system_error>

namespace platform {

// The errno value that stands for a Windows error (ERROR_SHARING_VIOLATION
// is EBUSY, WSAEWOULDBLOCK is EAGAIN, ...); an error without one keeps its
// Windows number.
std::error_code WindowsError(unsigned long code);

// The error of the WinSock call that just failed.
std::error_code LastSocketError();

}  // namespace platform
