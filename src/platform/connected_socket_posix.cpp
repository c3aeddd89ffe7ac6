#include "platform/connected_socket.h"

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include "platform/posix_call.h"
#include "platform/socket_address.h"

namespace platform {

Result<std::unique_ptr<ConnectedSocket>> ConnectedSocket::Connect(const std::string& address,
                                                                  uint16_t port,
                                                                  std::chrono::milliseconds limit) {
  const Result<sockaddr_in> remote = MakeSocketAddress(address, port);
  if (!remote) return remote.error();
  UniqueFd descriptor(
      ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!descriptor.IsOpen()) return LastError();
  if (::connect(descriptor.Get(), reinterpret_cast<const sockaddr*>(&*remote), sizeof *remote) != 0) {
    if (errno != EINPROGRESS) return LastError();
    auto socket = std::make_unique<ConnectedSocket>(std::move(descriptor));
    const WaitStatus answered = socket->Writable().Wait(limit);
    if (answered == WaitStatus::kTimedOut) return SystemError(ETIMEDOUT);
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket->descriptor_.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) {
      return LastError();
    }
    if (error != 0) return SystemError(error);
    return socket;
  }
  return std::make_unique<ConnectedSocket>(std::move(descriptor));
}

Result<std::size_t> ConnectedSocket::BytesWaiting() const {
  int count = 0;
  if (::ioctl(descriptor_.Get(), FIONREAD, &count) != 0) return LastError();
  return static_cast<std::size_t>(count);
}

Result<std::size_t> ConnectedSocket::Receive(void* buffer, std::size_t count) {
  const ssize_t got = RetryOnEintr([&] { return ::recv(descriptor_.Get(), buffer, count, 0); });
  if (got < 0) return LastError();
  return static_cast<std::size_t>(got);
}

bool ConnectedSocket::PeerHasClosed() const {
  pollfd entry{descriptor_.Get(), POLLRDHUP, 0};
  if (RetryOnEintr([&] { return ::poll(&entry, 1, 0); }) <= 0) return false;
  return (entry.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

Result<std::size_t> ConnectedSocket::Send(const void* data, std::size_t count) {
  const ssize_t sent =
      RetryOnEintr([&] { return ::send(descriptor_.Get(), data, count, MSG_NOSIGNAL); });
  if (sent < 0) return LastError();
  return static_cast<std::size_t>(sent);
}

std::error_code ConnectedSocket::Shutdown(ShutdownDirection direction) {
  const int how = direction == ShutdownDirection::kReceive ? SHUT_RD
                  : direction == ShutdownDirection::kSend  ? SHUT_WR
                                                           : SHUT_RDWR;
  if (::shutdown(descriptor_.Get(), how) != 0) return LastError();
  return {};
}

Result<uint16_t> ConnectedSocket::LocalPort() const { return BoundPort(descriptor_.Get()); }

}  // namespace platform
