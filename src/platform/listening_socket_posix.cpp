#include "platform/listening_socket.h"

#include <sys/socket.h>

#include "platform/posix_call.h"
#include "platform/socket_address.h"

namespace platform {

Result<std::unique_ptr<ListeningSocket>> ListeningSocket::Open(const std::string& address,
                                                               uint16_t port, int backlog) {
  UniqueFd descriptor(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP));
  if (!descriptor.IsOpen()) return LastError();
  // Lets a restarted server bind while old connections linger in TIME_WAIT;
  // a port another socket listens on stays refused.
  const int on = 1;
  if (::setsockopt(descriptor.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0) {
    return LastError();
  }
  const Result<sockaddr_in> local = MakeSocketAddress(address, port);
  if (!local) return local.error();
  if (::bind(descriptor.Get(), reinterpret_cast<const sockaddr*>(&*local), sizeof *local) != 0) {
    return LastError();
  }
  if (::listen(descriptor.Get(), backlog) != 0) return LastError();
  return std::unique_ptr<ListeningSocket>(new ListeningSocket(std::move(descriptor)));
}

Result<uint16_t> ListeningSocket::Port() const { return BoundPort(descriptor_.Get()); }

Result<AcceptedConnection> ListeningSocket::Accept() {
  sockaddr_in peer{};
  socklen_t length = sizeof peer;
  UniqueFd connection(RetryOnEintr([&] {
    return ::accept4(descriptor_.Get(), reinterpret_cast<sockaddr*>(&peer), &length,
                     SOCK_NONBLOCK | SOCK_CLOEXEC);
  }));
  if (!connection.IsOpen()) return LastError();
  return AcceptedConnection{std::make_unique<ConnectedSocket>(std::move(connection)),
                            ToPeerAddress(peer)};
}

}  // namespace platform
