#include "server/kserver_socket.h"

#include <cerrno>

KServerSocket::KServerSocket(uint16_t port, const std::string& bindAddress) {
  auto socket = platform::ListeningSocket::Open(bindAddress, port, kBacklog);
  if (!socket) {
    lastError_ = static_cast<uint32_t>(socket.error().value());
    return;
  }
  socket_ = std::move(*socket);
  status_ = kListening;
}

platform::Result<platform::AcceptedConnection> KServerSocket::Accept() {
  peer_ = {};
  if (!socket_) return platform::SystemError(EBADF);
  auto accepted = socket_->Accept();
  if (!accepted) {
    lastError_ = static_cast<uint32_t>(accepted.error().value());
    return accepted;
  }
  peer_ = accepted->peer;
  return accepted;
}
