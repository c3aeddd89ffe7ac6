#include "app/input_packets.h"

#include <algorithm>
#include <cstring>

#include "transport/packet_framer.h"
#include "transport/result_codes.h"
#include "util/text.h"

InputPackets CutInputPackets(std::span<const uint8_t> bytes) {
  InputPackets input;
  PacketFramer framer;
  std::size_t fed = 0;    // bytes handed to the framer
  std::size_t start = 0;  // offset of the packet being framed
  while (fed < bytes.size()) {
    const std::size_t count = std::min(framer.Wanted(), bytes.size() - fed);
    std::memcpy(framer.ReceivePosition(), bytes.data() + fed, count);
    fed += count;
    const PacketFramer::Outcome outcome = framer.Received(count);
    if (outcome == PacketFramer::Outcome::kNeedMore) continue;
    if (outcome == PacketFramer::Outcome::kHeaderFailed) {
      // The header cannot be trusted, so nothing after it can be framed.
      input.unframedCode = framer.ResultCode();
      break;
    }
    const std::span<const uint8_t> packet = framer.Bytes();
    input.packets.emplace_back(packet.begin(), packet.end());
    start += packet.size();
  }
  input.unframedOffset = start;
  input.unframedBytes = bytes.size() - start;
  return input;
}

std::string UnframedInputText(const InputPackets& input) {
  if (input.unframedBytes == 0) return {};
  const std::string why = input.unframedCode != 0
                              ? StringPrintf("header result %u (%s)", unsigned{input.unframedCode},
                                             ResultCodeText(input.unframedCode))
                              : std::string("cut short by the end of the input");
  return StringPrintf("WARNING: %zu bytes of the input from offset %zu are no whole packet (%s); "
                      "they are not sent\n",
                      input.unframedBytes, input.unframedOffset, why.c_str());
}
