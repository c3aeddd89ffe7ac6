#pragma once
// Internal to the Win32 side of the platform layer: WinSock 2.2 start-up and
// IPv4 socket addresses (the counterpart of socket_address.h).

#include <cstdint>
#include <string>

#include "platform/connected_socket.h"
#include "platform/error.h"
#include "platform/windows_api.h"

namespace platform {

// WSAStartup for version 2.2, once per process, before the first socket.
// The matching WSACleanup is left to the end of the process: sockets may
// still be open in threads that were terminated.
std::error_code StartWinsock();

// address:port; an empty address is every interface. Fails with EINVAL when
// the text is not a dotted IPv4 address.
Result<sockaddr_in> MakeSocketAddress(const std::string& address, uint16_t port);

PeerAddress ToPeerAddress(const sockaddr_in& address);

// The local port of a bound socket.
Result<uint16_t> BoundPort(SOCKET socket);

}  // namespace platform
