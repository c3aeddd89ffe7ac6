#include "platform/winsock_support.h"

#include <cstring>

#include "platform/windows_error.h"

namespace platform {

std::error_code StartWinsock() {
  static const int started = [] {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return started == 0 ? std::error_code() : WindowsError(static_cast<unsigned long>(started));
}

Result<sockaddr_in> MakeSocketAddress(const std::string& address, uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = ::htons(port);
  if (address.empty()) {
    result.sin_addr.s_addr = ::htonl(INADDR_ANY);
    return result;
  }
  result.sin_addr.s_addr = ::inet_addr(address.c_str());
  // INADDR_NONE is also the broadcast address, which is the one text that
  // may give it.
  if (result.sin_addr.s_addr == INADDR_NONE && address != "255.255.255.255") {
    return SystemError(EINVAL);
  }
  return result;
}

PeerAddress ToPeerAddress(const sockaddr_in& address) {
  PeerAddress peer;
  std::memcpy(peer.octets.data(), &address.sin_addr.s_addr, peer.octets.size());
  peer.port = ::ntohs(address.sin_port);
  return peer;
}

Result<uint16_t> BoundPort(SOCKET socket) {
  sockaddr_in address{};
  int length = sizeof address;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return LastSocketError();
  }
  return static_cast<uint16_t>(::ntohs(address.sin_port));
}

}  // namespace platform
