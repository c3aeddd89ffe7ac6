#pragma once
// One end of a TCP connection as a capture shows it: an IPv4 or IPv6
// address and a port.

#include <array>
#include <cstdint>
#include <string>

namespace capture {

struct Endpoint {
  std::array<uint8_t, 16> address{};  // IPv4 in the first 4 bytes, the rest 0
  bool v6 = false;
  uint16_t port = 0;

  bool operator==(const Endpoint&) const = default;
  auto operator<=>(const Endpoint&) const = default;
};

// "a.b.c.d:port", or "[v6 address]:port" with the address written in its
// shortest form (lower case, the longest run of two or more zero groups as
// "::", the first such run on a tie).
std::string EndpointText(const Endpoint& endpoint);

}  // namespace capture
