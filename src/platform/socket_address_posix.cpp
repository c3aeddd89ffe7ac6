#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cstring>

namespace platform {

Result<sockaddr_in> MakeSocketAddress(const std::string& address, uint16_t port) {
  sockaddr_in result{};
  result.sin_family = AF_INET;
  result.sin_port = htons(port);
  if (address.empty()) {
    result.sin_addr.s_addr = htonl(INADDR_ANY);
  } else if (::inet_aton(address.c_str(), &result.sin_addr) == 0) {
    return SystemError(EINVAL);
  }
  return result;
}

PeerAddress ToPeerAddress(const sockaddr_in& address) {
  PeerAddress peer;
  std::memcpy(peer.octets.data(), &address.sin_addr.s_addr, peer.octets.size());
  peer.port = ntohs(address.sin_port);
  return peer;
}

Result<uint16_t> BoundPort(int descriptor) {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (::getsockname(descriptor, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return LastError();
  }
  return static_cast<uint16_t>(ntohs(address.sin_port));
}

}  // namespace platform
