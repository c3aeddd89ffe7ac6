#pragma once
// Reading the single packet of the command line: a raw file, or
// hexadecimal text on a stream.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// Reads the whole file as raw bytes. On failure returns false and sets
// `message` to the open error.
bool ReadRawPacketFile(const std::string& fileName, std::vector<uint8_t>& packet,
                       std::string& message);

// Reads hexadecimal digit pairs until end of input. Blanks, tabs, carriage
// returns and line feeds are skipped, so pasted text with separators or line
// breaks gives the bytes it shows; a pair that is not hexadecimal is skipped
// and a single trailing digit is dropped.
std::vector<uint8_t> ReadHexPacket(std::FILE* input);

// Converts one pair as the "%02X" scanning conversion does: an optional
// sign and one or two hex digits. Returns false when nothing converts.
bool ConvertHexPair(char first, char second, uint8_t& byte);
