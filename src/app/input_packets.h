#pragma once
// The packets of the command line's input for a platform (-s:): the bytes
// of -f: or -c cut into packets by their transport headers, as a
// connection's byte stream is framed. Bytes past the last whole packet
// (a header that fails, or a packet cut short by the end of the input)
// are not a packet; the caller says so and does not send them.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct InputPackets {
  std::vector<std::vector<uint8_t>> packets;
  std::size_t unframedOffset = 0;  // where the bytes that are no packet start
  std::size_t unframedBytes = 0;   // 0 when every byte belongs to a packet
  uint8_t unframedCode = 0;        // their header's result; 0 when only cut short
};

InputPackets CutInputPackets(std::span<const uint8_t> bytes);

// The line that reports unframed bytes ("WARNING: ... not sent\n"); empty
// when there are none.
std::string UnframedInputText(const InputPackets& input);
