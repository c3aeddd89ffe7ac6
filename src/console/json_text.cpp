#include "console/json_text.h"

#include <algorithm>
#include <array>
#include <cmath>

#include <rapidjson/internal/dtoa.h>
#include <rapidjson/internal/itoa.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

namespace {

// Every byte's two hexadecimal digits, side by side.
constexpr std::array<char, 512> kHexPairs = [] {
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::array<char, 512> pairs{};
  for (std::size_t byte = 0; byte < 256; ++byte) {
    pairs[2 * byte] = kDigits[byte >> 4];
    pairs[2 * byte + 1] = kDigits[byte & 0x0F];
  }
  return pairs;
}();
// The longest number text: a signed 64-bit integer takes 20 characters, a
// double 24 at most ("-1.2345678901234567e-308").
constexpr std::size_t kNumberRoom = 32;

// The length of the well-formed UTF-8 sequence at text (RFC 3629), 0 when
// there is none.
std::size_t SequenceLength(const unsigned char* text, std::size_t left) {
  const unsigned char lead = text[0];
  if (lead < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (left < length || text[1] < low || text[1] > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (text[i] < 0x80 || text[i] > 0xBF) return 0;
  }
  return length;
}

bool ValidUtf8(const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  // Most texts are ASCII: one pass without decoding settles them.
  std::size_t ascii = 0;
  while (ascii < size && bytes[ascii] < 0x80) ++ascii;
  for (std::size_t at = ascii; at < size;) {
    const std::size_t length = SequenceLength(bytes + at, size - at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string RepairedUtf8(const char* text, std::size_t size) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  std::string repaired;
  repaired.reserve(size + 8);
  for (std::size_t at = 0; at < size;) {
    const std::size_t length = SequenceLength(bytes + at, size - at);
    if (length == 0) {
      repaired += "\xEF\xBF\xBD";
      ++at;
    } else {
      repaired.append(text + at, length);
      at += length;
    }
  }
  return repaired;
}

// Whether a byte must be escaped in a JSON string.
bool NeedsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

// Whether eight bytes are all printable ASCII but the quote and the
// backslash: a word's bytes tested at once (a byte below 0x20 or equal to
// one of the two shows as a borrow into its top bit).
bool PlainAscii(uint64_t word) {
  constexpr uint64_t kOnes = 0x0101010101010101u;
  constexpr uint64_t kTops = 0x8080808080808080u;
  const uint64_t quote = word ^ (kOnes * '"');
  const uint64_t backslash = word ^ (kOnes * '\\');
  const uint64_t special = ((word - kOnes * 0x20) & ~word) | ((quote - kOnes) & ~quote) |
                           ((backslash - kOnes) & ~backslash);
  return ((word | special) & kTops) == 0;
}

}  // namespace

void JsonText::Grow(std::size_t count) {
  text_.resize(std::max(2 * text_.size(), size_ + count));
}

void JsonText::DynamicKey(const char* key) {
  Separate();
  comma_ = false;
  // Field names are a few plain letters: copied as they are read, the
  // general way only for a long one or one to escape.
  constexpr std::size_t kShort = 32;
  char* const start = Room(kShort + 3);
  char* out = start;
  *out++ = '"';
  for (std::size_t i = 0; i < kShort; ++i) {
    const auto c = static_cast<unsigned char>(key[i]);
    if (c == 0) {
      *out++ = '"';
      *out++ = ':';
      size_ += static_cast<std::size_t>(out - start);
      return;
    }
    if (NeedsEscape(c)) break;
    *out++ = static_cast<char>(c);
  }
  Quoted(key, std::strlen(key));
  Put(':');
}

void JsonText::DynamicKey(const std::string& key) {
  Separate();
  comma_ = false;
  Quoted(key.data(), key.size());
  Put(':');
}

void JsonText::UnsignedDigits(uint64_t value) {
  char* const digits = Room(kNumberRoom);
  size_ += static_cast<std::size_t>(rapidjson::internal::u64toa(value, digits) - digits);
}

void JsonText::Signed(int64_t value) {
  Separate();
  char* const digits = Room(kNumberRoom);
  size_ += static_cast<std::size_t>(rapidjson::internal::i64toa(value, digits) - digits);
}

void JsonText::Real(double value) {
  if (!std::isfinite(value)) {
    Null();
    return;
  }
  Separate();
  char* const digits = Room(kNumberRoom);
  // 324 decimals: the shortest text that reads back as the same number.
  size_ += static_cast<std::size_t>(rapidjson::internal::dtoa(value, digits, 324) - digits);
}

void JsonText::Text(const char* text, std::size_t size) {
  Separate();
  // ASCII needs no check of its encoding.
  if (Plain(text, size, true)) return;
  if (ValidUtf8(text, size)) {
    Quoted(text, size);
    return;
  }
  const std::string repaired = RepairedUtf8(text, size);
  Quoted(repaired.data(), repaired.size());
}

void JsonText::Hex(const uint8_t* data, std::size_t size) {
  Separate();
  char* out = Room(2 * size + 2);
  *out++ = '"';
  for (std::size_t i = 0; i < size; ++i, out += 2) {
    std::memcpy(out, kHexPairs.data() + 2 * std::size_t{data[i]}, 2);
  }
  *out = '"';
  size_ += 2 * size + 2;
}

bool JsonText::Plain(const char* text, std::size_t size, bool asciiOnly) {
  constexpr std::size_t kWord = sizeof(uint64_t);
  // Room for the quotes and for the last word written whole.
  char* const start = Room(size + kWord + 2);
  char* const out = start + 1;
  *start = '"';
  std::size_t i = 0;
  for (uint64_t word = 0; i + kWord <= size; i += kWord) {
    std::memcpy(&word, text + i, kWord);
    if (!PlainAscii(word)) break;
    std::memcpy(out + i, &word, kWord);
  }
  // Fewer than eight bytes left: tested at once, as the word that ends the
  // text (over bytes already tested) or, in a short text, padded with spaces.
  if (i < size && size - i < kWord) {
    const std::size_t from = size >= kWord ? size - kWord : i;
    uint64_t word = 0x0101010101010101u * ' ';
    if (size >= kWord) {
      std::memcpy(&word, text + from, kWord);
    } else {
      std::memcpy(&word, text + i, size - i);
    }
    if (PlainAscii(word)) {
      std::memcpy(out + from, &word, kWord);
      i = size;
    }
  }
  for (; i < size; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (NeedsEscape(c) || (asciiOnly && c >= 0x80)) return false;
    out[i] = static_cast<char>(c);
  }
  out[size] = '"';
  size_ += size + 2;
  return true;
}

void JsonText::Quoted(const char* text, std::size_t size) {
  if (Plain(text, size, false)) return;
  // The rare text with quotes, backslashes or control bytes: RapidJSON's
  // writer escapes it.
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text, static_cast<rapidjson::SizeType>(size));
  Append(buffer.GetString(), buffer.GetSize());
}
