#include "console/packet_dumps.h"

#include "util/text.h"

namespace {

// `head` is a format with one %lu: the byte count.
std::string Dump(const char* head, std::span<const uint8_t> bytes, const char* end) {
  std::string text = StringPrintf(head, static_cast<unsigned long>(bytes.size()));
  text += HexText(bytes.data(), bytes.size());
  text += end;
  return text;
}

}  // namespace

std::string FormatPacketDump(std::span<const uint8_t> packet) {
  return Dump("\nPacket data: %lu bytes\n ", packet, "\n\n");
}

std::string FormatPartDump(std::span<const uint8_t> part) {
  return Dump("\nPacket part data: %lu bytes\n ", part, "...\n\n");
}

std::string FormatResponseDump(std::span<const uint8_t> response) {
  return Dump("\nResponse data: %lu bytes\n ", response, "\n\n");
}

std::string FormatSentDump(std::span<const uint8_t> sent) {
  return Dump("\nSent data: %lu bytes\n ", sent, "\n\n");
}
