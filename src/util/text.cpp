#include "util/text.h"

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

namespace {

// The length of the well-formed UTF-8 sequence at text[at], or 0.
std::size_t Utf8SequenceLength(const std::string& text, std::size_t at) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(at);
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the second byte's range
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong form
    if (lead == 0xED) high = 0x9F;  // no surrogate
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (at + length > text.size() || byte(at + 1) < low || byte(at + 1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(at + i) < 0x80 || byte(at + i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string EscapeName(const std::string& name) {
  std::string out;
  out.reserve(name.size());
  for (std::size_t at = 0; at < name.size();) {
    const auto lead = static_cast<unsigned char>(name[at]);
    const std::size_t length = Utf8SequenceLength(name, at);
    // U+0080 to U+009F, the C1 controls, are C2 80 to C2 9F.
    const bool c1 = length == 2 && lead == 0xC2 && static_cast<unsigned char>(name[at + 1]) < 0xA0;
    if (length == 1 && lead >= 0x20 && lead != 0x7F) {
      out += name[at];
    } else if (length > 1 && !c1) {
      out.append(name, at, length);
    } else {
      // A control character, or a byte that begins no UTF-8 sequence: each
      // byte alone.
      const std::size_t bytes = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < bytes; ++i) {
        out += StringPrintf("\\x%02X", static_cast<unsigned char>(name[at + i]));
      }
    }
    at += length == 0 ? 1 : length;
  }
  return out;
}
