#pragma once
// Single-packet mode: the dump, the transport check and its report of the
// packet given on the command line.

#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "pipeline/packet_road.h"

// The whole report block of one packet, as printed under ConsoleLock.
std::string FormatSinglePacketReport(const StartupSettings& settings,
                                     const std::vector<uint8_t>& packet);

// Reads the packet the settings name (file or standard input) and prints
// its report, or the messages that say why there is none; its positions go
// to the tracks of `road` (-g:).
void RunSinglePacket(const StartupSettings& settings, const PacketRoad& road);
