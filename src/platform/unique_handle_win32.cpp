#include "platform/unique_handle.h"

#include "platform/windows_api.h"

namespace platform {

bool UniqueHandle::IsOpen() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

void UniqueHandle::Reset(void* handle) {
  if (IsOpen()) ::CloseHandle(handle_);
  handle_ = handle;
}

void UniqueSocket::Reset(std::uintptr_t socket) {
  if (IsOpen()) ::closesocket(static_cast<SOCKET>(socket_));
  socket_ = socket;
}

}  // namespace platform
