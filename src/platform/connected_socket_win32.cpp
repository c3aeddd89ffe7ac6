#include "platform/connected_socket.h"

#include <climits>

#include "platform/windows_error.h"
#include "platform/winsock_support.h"

namespace platform {

namespace {

constexpr long kNetworkEvents = FD_READ | FD_WRITE | FD_CLOSE | FD_CONNECT;

int ClampedCount(std::size_t count) {
  return count > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(count);
}

}  // namespace

// The event also makes the socket non-blocking. An accepted socket starts
// with its listener's selection, which this replaces.
ConnectedSocket::ConnectedSocket(UniqueSocket socket) : socket_(std::move(socket)) {
  if (!socket_.IsOpen()) return;
  event_.Reset(::WSACreateEvent());
  if (!event_.IsOpen()) {
    setupError_ = LastSocketError();
  } else if (::WSAEventSelect(socket_.Get(), event_.Get(), kNetworkEvents) != 0) {
    setupError_ = LastSocketError();
    event_.Reset();
  }
}

Result<std::unique_ptr<ConnectedSocket>> ConnectedSocket::Connect(const std::string& address,
                                                                  uint16_t port,
                                                                  std::chrono::milliseconds limit) {
  if (const std::error_code error = StartWinsock()) return error;
  const Result<sockaddr_in> remote = MakeSocketAddress(address, port);
  if (!remote) return remote.error();
  UniqueSocket handle(::WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, 0));
  if (!handle.IsOpen()) return LastSocketError();
  auto socket = std::make_unique<ConnectedSocket>(std::move(handle));
  if (socket->setupError_) return socket->setupError_;
  if (::connect(socket->socket_.Get(), reinterpret_cast<const sockaddr*>(&*remote),
                sizeof *remote) == 0) {
    return socket;
  }
  if (::WSAGetLastError() != WSAEWOULDBLOCK) return LastSocketError();
  const WaitStatus answered = socket->Writable().Wait(limit);
  if (answered == WaitStatus::kTimedOut) return SystemError(ETIMEDOUT);
  if (answered != WaitStatus::kSignalled) return SystemError(EBADF);
  if (const int error = socket->connectError_.load()) {
    return WindowsError(static_cast<unsigned long>(error));
  }
  return socket;
}

void* ConnectedSocket::WaitHandle() const {
  return socket_.IsOpen() && event_.IsOpen() ? event_.Get() : nullptr;
}

unsigned ConnectedSocket::TakeNetworkEvents() {
  WSANETWORKEVENTS events{};
  if (::WSAEnumNetworkEvents(socket_.Get(), event_.Get(), &events) != 0) {
    return pending_.load();
  }
  unsigned taken = 0;
  if (events.lNetworkEvents & FD_READ) taken |= kReadable;
  if (events.lNetworkEvents & FD_CLOSE) taken |= kPeerClosed;
  if (events.lNetworkEvents & FD_WRITE) taken |= kWritable;
  if (events.lNetworkEvents & FD_CONNECT) {
    connectError_.store(events.iErrorCode[FD_CONNECT_BIT]);
    taken |= kWritable;
  }
  return pending_.fetch_or(taken) | taken;
}

bool ConnectedSocket::ClaimPending(unsigned wanted) {
  const unsigned pending = TakeNetworkEvents();
  if (pending & kPeerClosed) return true;
  if ((pending & wanted) == 0) return false;
  pending_.fetch_and(~wanted);
  return true;
}

void ConnectedSocket::SetIfPending(unsigned wanted) {
  if ((pending_.load() & wanted) != 0 && event_.IsOpen()) ::WSASetEvent(event_.Get());
}

Result<std::size_t> ConnectedSocket::BytesWaiting() const {
  u_long count = 0;
  if (::ioctlsocket(socket_.Get(), FIONREAD, &count) != 0) return LastSocketError();
  return static_cast<std::size_t>(count);
}

// A receive that finds nothing re-enables FD_READ, so the next byte signals
// the event again.
Result<std::size_t> ConnectedSocket::Receive(void* buffer, std::size_t count) {
  const int got = ::recv(socket_.Get(), static_cast<char*>(buffer), ClampedCount(count), 0);
  if (got == SOCKET_ERROR) return LastSocketError();
  return static_cast<std::size_t>(got);
}

bool ConnectedSocket::PeerHasClosed() const {
  if (!socket_.IsOpen() || !event_.IsOpen()) return false;
  // Taking the events here keeps them for the next wait, which PrepareWait
  // then signals at once.
  return (const_cast<ConnectedSocket*>(this)->TakeNetworkEvents() & kPeerClosed) != 0;
}

Result<std::size_t> ConnectedSocket::Send(const void* data, std::size_t count) {
  const int sent =
      ::send(socket_.Get(), static_cast<const char*>(data), ClampedCount(count), 0);
  if (sent == SOCKET_ERROR) return LastSocketError();
  return static_cast<std::size_t>(sent);
}

std::error_code ConnectedSocket::Shutdown(ShutdownDirection direction) {
  const int how = direction == ShutdownDirection::kReceive ? SD_RECEIVE
                  : direction == ShutdownDirection::kSend  ? SD_SEND
                                                           : SD_BOTH;
  if (::shutdown(socket_.Get(), how) != 0) return LastSocketError();
  return {};
}

Result<uint16_t> ConnectedSocket::LocalPort() const { return BoundPort(socket_.Get()); }

}  // namespace platform
