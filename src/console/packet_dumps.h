#pragma once
// The dump texts of what a connection carries: a whole packet
// ("\nPacket data: N bytes\n <hex>\n\n"), a part whose header failed
// ("\nPacket part data: N bytes\n <hex>...\n\n") and a confirmation sent
// back ("\nResponse data: N bytes\n <hex>\n\n") and a packet of our own
// ("\nSent data: N bytes\n <hex>\n\n").

#include <cstdint>
#include <span>
#include <string>

std::string FormatPacketDump(std::span<const uint8_t> packet);
std::string FormatPartDump(std::span<const uint8_t> part);
std::string FormatResponseDump(std::span<const uint8_t> response);
std::string FormatSentDump(std::span<const uint8_t> sent);
