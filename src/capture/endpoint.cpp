#include "capture/endpoint.h"

#include "util/text.h"

namespace capture {

namespace {

std::string V6Text(const std::array<uint8_t, 16>& a) {
  uint16_t groups[8];
  for (int i = 0; i < 8; ++i) groups[i] = static_cast<uint16_t>(a[2 * i] << 8 | a[2 * i + 1]);
  int bestStart = -1;
  int bestLength = 1;  // a single zero group is not shortened
  for (int i = 0; i < 8;) {
    if (groups[i] != 0) {
      ++i;
      continue;
    }
    int end = i;
    while (end < 8 && groups[end] == 0) ++end;
    if (end - i > bestLength) {
      bestStart = i;
      bestLength = end - i;
    }
    i = end;
  }
  std::string text;
  for (int i = 0; i < 8; ++i) {
    if (i == bestStart) {
      text += "::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    text += StringPrintf("%x", static_cast<unsigned>(groups[i]));
  }
  return text;
}

}  // namespace

std::string EndpointText(const Endpoint& endpoint) {
  const auto& a = endpoint.address;
  if (endpoint.v6) {
    // Appended piece by piece: g++ 12 warns wrongly (-Wrestrict) on "[" + text.
    std::string text(1, '[');
    text += V6Text(a);
    text += "]:";
    text += std::to_string(endpoint.port);
    return text;
  }
  return StringPrintf("%u.%u.%u.%u:%u", a[0], a[1], a[2], a[3], static_cast<unsigned>(endpoint.port));
}

}  // namespace capture
