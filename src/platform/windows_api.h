#pragma once
// Internal to the Win32 side of the platform layer: the one place that
// includes the Windows headers. Their ANSI macros DeleteFile and
// CreateDirectory would rename this layer's own functions of those names in
// every file that sees them, so they are taken back here.

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#undef DeleteFile
#undef CreateDirectory
