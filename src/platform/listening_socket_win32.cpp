#include "platform/listening_socket.h"

#include "platform/windows_error.h"
#include "platform/winsock_support.h"

namespace platform {

Result<std::unique_ptr<ListeningSocket>> ListeningSocket::Open(const std::string& address,
                                                               uint16_t port, int backlog) {
  if (const std::error_code error = StartWinsock()) return error;
  const Result<sockaddr_in> local = MakeSocketAddress(address, port);
  if (!local) return local.error();
  UniqueSocket socket(::WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0));
  if (!socket.IsOpen()) return LastSocketError();
  // Without it Windows lets a second socket bind a port that one listens on
  // (its SO_REUSEADDR even allows that on purpose).
  const BOOL on = TRUE;
  if (::setsockopt(socket.Get(), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                   reinterpret_cast<const char*>(&on), sizeof on) != 0) {
    return LastSocketError();
  }
  if (::bind(socket.Get(), reinterpret_cast<const sockaddr*>(&*local), sizeof *local) != 0) {
    return LastSocketError();
  }
  if (::listen(socket.Get(), backlog) != 0) return LastSocketError();
  UniqueHandle acceptEvent(::WSACreateEvent());
  if (!acceptEvent.IsOpen()) return LastSocketError();
  // Also makes the socket non-blocking.
  if (::WSAEventSelect(socket.Get(), acceptEvent.Get(), FD_ACCEPT) != 0) return LastSocketError();
  return std::unique_ptr<ListeningSocket>(
      new ListeningSocket(std::move(socket), std::move(acceptEvent)));
}

Result<uint16_t> ListeningSocket::Port() const { return BoundPort(socket_.Get()); }

// WSAAccept posts FD_ACCEPT again while more connections wait, so clearing
// the event here loses none.
bool ListeningSocket::ClaimSignal() {
  WSANETWORKEVENTS events{};
  ::WSAEnumNetworkEvents(socket_.Get(), acceptEvent_.Get(), &events);
  return true;
}

Result<AcceptedConnection> ListeningSocket::Accept() {
  sockaddr_in peer{};
  int length = sizeof peer;
  UniqueSocket connection(
      ::WSAAccept(socket_.Get(), reinterpret_cast<sockaddr*>(&peer), &length, nullptr, 0));
  if (!connection.IsOpen()) return LastSocketError();
  return AcceptedConnection{std::make_unique<ConnectedSocket>(std::move(connection)),
                            ToPeerAddress(peer)};
}

}  // namespace platform
