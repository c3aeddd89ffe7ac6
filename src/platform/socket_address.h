#pragma once
// Internal to the platform layer: IPv4 socket addresses.

#include <netinet/in.h>

#include <cstdint>
#include <string>

#include "platform/connected_socket.h"
#include "platform/error.h"

namespace platform {

// address:port; an empty address is every interface. Fails with EINVAL when
// the text is not an IPv4 address.
Result<sockaddr_in> MakeSocketAddress(const std::string& address, uint16_t port);

PeerAddress ToPeerAddress(const sockaddr_in& address);

// The local port of a bound socket.
Result<uint16_t> BoundPort(int descriptor);

}  // namespace platform
