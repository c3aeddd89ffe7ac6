#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "console/json_text.h"

namespace {

// RapidJSON's own text for a string: what every text must come to.
std::string WriterText(const std::string& text) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  return std::string(buffer.GetString(), buffer.GetSize());
}

// Texts and keys of every length up to 24 with a byte to escape (or a
// two-byte character) at every place: tested eight bytes at a time, the
// last few together, a special byte must be found wherever it stands.
TEST(JsonText, TextsAndKeysOfEveryLengthAsTheWriterWritesThem) {
  for (const std::string special : {"", "\"", "\\", "\x01", "\x1f", "\xC3\xA9"}) {
    for (std::size_t size = 0; size <= 24; ++size) {
      for (std::size_t at = 0; at <= size; ++at) {
        std::string text;
        for (std::size_t i = 0; i < size; ++i) text += static_cast<char>('a' + i % 26);
        text.insert(at, special);
        const std::string quoted = WriterText(text);
        JsonText json;
        json.StartArray();
        json.Text(text);
        json.EndArray();
        EXPECT_EQ(json.Take(), "[" + quoted + "]");
        JsonText keys;
        keys.StartObject();
        keys.DynamicKey(text);
        keys.Null();
        keys.DynamicKey(text.c_str());
        keys.Unsigned(at);
        keys.EndObject();
        EXPECT_EQ(keys.Take(), "{" + quoted + ":null," + quoted + ":" + std::to_string(at) + "}");
      }
    }
  }
}

TEST(JsonText, CheckedKeysOfEveryLengthAndHexOfEveryByte) {
  const std::string letters = "abcdefghijklmnopqrstuvwxyz";
  for (std::size_t size = 0; size <= letters.size(); ++size) {
    JsonText json;
    json.StartObject();
    json.CheckedKey(std::string_view(letters).substr(0, size));
    json.Bool(true);
    json.EndObject();
    EXPECT_EQ(json.Take(), "{\"" + letters.substr(0, size) + "\":true}");
  }
  std::vector<uint8_t> bytes;
  std::string hex = "\"";
  for (unsigned byte = 0; byte < 256; ++byte) {
    bytes.push_back(static_cast<uint8_t>(byte));
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02X", byte);
    hex += digits;
  }
  JsonText json;
  json.Hex(bytes.data(), bytes.size());
  EXPECT_EQ(json.Take(), hex + "\"");
}

}  // namespace
