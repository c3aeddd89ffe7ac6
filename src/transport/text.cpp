#include "transport/text.h"

#include <cstdarg>
#include <cstdio>

std::string StringPrintf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text;
  if (needed > 0) {
    text.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return text;
}

std::string BitString(uint32_t value, unsigned n) {
  std::string bits(n, '0');
  for (unsigned i = 0; i < n && i < 32; ++i) {
    if (value & (1u << i)) bits[n - 1 - i] = '1';
  }
  return bits;
}

std::string HexText(const uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

void WriteStdout(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

namespace {

// Code points of CP-1251 bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F.
constexpr uint16_t kCp1251High[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

void AppendUtf8(std::string& out, uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::string Cp1251ToUtf8(const uint8_t* data, std::size_t size) {
  std::string out;
  out.reserve(size);
  for (std::size_t i = 0; i < size; ++i) {
    const uint8_t byte = data[i];
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else if (byte < 0xC0) {
      AppendUtf8(out, kCp1251High[byte - 0x80]);
    } else {
      AppendUtf8(out, 0x0410u + (byte - 0xC0u));
    }
  }
  return out;
}

std::string EscapeControls(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) {
      out += StringPrintf("\\x%02X", byte);
    } else {
      out += c;
    }
  }
  return out;
}
