#pragma once
// Owners of Windows kernel objects (Win32 build only): a HANDLE, closed with
// CloseHandle, and a WinSock SOCKET, closed with closesocket. The types are
// kept free of <windows.h> so that public headers can hold them.

#include <cstdint>

namespace platform {

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(void* handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }

  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  void* Get() const { return handle_; }
  // Null and INVALID_HANDLE_VALUE both mean "none".
  bool IsOpen() const;
  void Reset(void* handle = nullptr);
  void* Release() {
    void* const handle = handle_;
    handle_ = nullptr;
    return handle;
  }

 private:
  void* handle_ = nullptr;
};

class UniqueSocket {
 public:
  // INVALID_SOCKET, spelled without <winsock2.h>.
  static constexpr std::uintptr_t kNone = ~std::uintptr_t{0};

  UniqueSocket() = default;
  explicit UniqueSocket(std::uintptr_t socket) : socket_(socket) {}
  ~UniqueSocket() { Reset(); }

  UniqueSocket(UniqueSocket&& other) noexcept : socket_(other.Release()) {}
  UniqueSocket& operator=(UniqueSocket&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueSocket(const UniqueSocket&) = delete;
  UniqueSocket& operator=(const UniqueSocket&) = delete;

  std::uintptr_t Get() const { return socket_; }
  bool IsOpen() const { return socket_ != kNone; }
  void Reset(std::uintptr_t socket = kNone);
  std::uintptr_t Release() {
    const std::uintptr_t socket = socket_;
    socket_ = kNone;
    return socket;
  }

 private:
  std::uintptr_t socket_ = kNone;
};

}  // namespace platform
