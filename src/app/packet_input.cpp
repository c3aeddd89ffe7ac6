#include "app/packet_input.h"

#include <cerrno>
#include <cstring>

#include "util/text.h"

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSeparator(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// The next character that is not a separator, or EOF.
int NextSignificant(std::FILE* input) {
  int c;
  do {
    c = std::fgetc(input);
  } while (c != EOF && IsSeparator(c));
  return c;
}

}  // namespace

bool ConvertHexPair(char first, char second, uint8_t& byte) {
  if (first == '+' || first == '-') {
    const int digit = HexDigit(second);
    if (digit < 0) return false;
    const unsigned value = first == '-' ? 0u - static_cast<unsigned>(digit)
                                        : static_cast<unsigned>(digit);
    byte = static_cast<uint8_t>(value & 0xFF);
    return true;
  }
  const int high = HexDigit(first);
  if (high < 0) return false;
  const int low = HexDigit(second);
  byte = static_cast<uint8_t>(low < 0 ? high : high * 16 + low);
  return true;
}

std::vector<uint8_t> ReadHexPacket(std::FILE* input) {
  std::vector<uint8_t> packet;
  for (;;) {
    const int first = NextSignificant(input);
    if (first == EOF) break;
    const int second = NextSignificant(input);
    if (second == EOF) break;  // a lone trailing digit is dropped
    uint8_t byte = 0;
    if (ConvertHexPair(static_cast<char>(first), static_cast<char>(second), byte)) {
      packet.push_back(byte);
    }
  }
  return packet;
}

bool ReadRawPacketFile(const std::string& fileName, std::vector<uint8_t>& packet,
                       std::string& message) {
  std::FILE* file = std::fopen(fileName.c_str(), "rb");
  if (file == nullptr) {
    message = StringPrintf("ERROR: can not open file '%s' %d\n", fileName.c_str(), errno);
    return false;
  }
  unsigned char chunk[4096];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
    packet.insert(packet.end(), chunk, chunk + n);
  }
  // A name that opens but cannot be read (a directory) is reported like one
  // that cannot be opened.
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) {
    message = StringPrintf("ERROR: can not open file '%s' %d\n", fileName.c_str(), error);
    return false;
  }
  return true;
}
