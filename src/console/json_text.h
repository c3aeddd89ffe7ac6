#pragma once
// One line of compact JSON written as it goes, straight into its text: no
// tree, no formatting through printf. Keys and texts that need no escaping
// are copied as they are; any other is escaped by RapidJSON's writer;
// texts from outside (file names, peers, packet strings) may hold any byte:
// invalid UTF-8 is replaced by U+FFFD. Numbers are written by RapidJSON's
// own conversions. The caller keeps keys and values in a valid order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// A key written in the program: checked when it is compiled to need no
// escaping, its length counted then.
class JsonKey {
 public:
  template <std::size_t N>
  consteval JsonKey(const char (&key)[N]) : text_(key), size_(N - 1) {  // NOLINT: implicit
    for (std::size_t i = 0; i + 1 < N; ++i) {
      const auto c = static_cast<unsigned char>(key[i]);
      if (c < 0x20 || c >= 0x80 || c == '"' || c == '\\') throw "a key to escape";
    }
  }
  const char* Text() const { return text_; }
  std::size_t Size() const { return size_; }

 private:
  const char* text_;
  std::size_t size_;
};

class JsonText {
 public:
  // A packet's line takes about a kilobyte: room for it at once.
  static constexpr std::size_t kInitialCapacity = 2048;

  JsonText() { text_.resize(kInitialCapacity); }
  // Written into room's memory (a spent line's): none taken anew.
  explicit JsonText(std::string room) : text_(std::move(room)) {
    text_.resize(std::max(text_.capacity(), kInitialCapacity));
  }

  void Key(JsonKey key) { KeyAsItIs(key.Text(), key.Size()); }
  // A key checked where it is declared to need no escaping (a declared
  // field's).
  void CheckedKey(std::string_view key) { KeyAsItIs(key.data(), key.size()); }
  // A key known only when the program runs (a field's name).
  void DynamicKey(const char* key);
  void DynamicKey(const std::string& key);
  void Unsigned(uint64_t value) {
    Separate();
    // Most values are flags and small counts.
    if (value < 10) {
      Put(static_cast<char>('0' + value));
      return;
    }
    UnsignedDigits(value);
  }
  void Signed(int64_t value);
  void Real(double value);  // null when not finite: JSON has no infinities or NaN
  void Bool(bool value) {
    Separate();
    Append(value ? "true" : "false", value ? 4 : 5);
  }
  void Null() {
    Separate();
    Append("null", 4);
  }
  // A text written in the program, checked when compiled like a key.
  void KnownText(JsonKey text) {
    Separate();
    char* out = Room(text.Size() + 2);
    *out++ = '"';
    CopyShort(out, text.Text(), text.Size());
    out[text.Size()] = '"';
    size_ += text.Size() + 2;
  }
  void Text(const std::string& text) { Text(text.data(), text.size()); }
  void Text(const char* text) { Text(text, std::strlen(text)); }
  void Text(const char* text, std::size_t size);
  // Two hexadecimal digits a byte, as a string.
  void Hex(const uint8_t* data, std::size_t size);
  void StartObject() { Open('{'); }
  void EndObject() { Close('}'); }
  void StartArray() { Open('['); }
  void EndArray() { Close(']'); }

  std::size_t Size() const { return size_; }
  // The text, most often with room for the line end a caller may add; the
  // object is spent.
  std::string Take() {
    text_.resize(size_);
    return std::move(text_);
  }

 private:
  // A comma before every value but the first of its object or array, and
  // before every key but the first.
  void Separate() {
    if (comma_) Put(',');
    comma_ = true;
  }
  void Open(char bracket) {
    Separate();
    Put(bracket);
    comma_ = false;
  }
  void Close(char bracket) {
    Put(bracket);
    comma_ = true;
  }
  // A few bytes copied in two moves that may overlap, each reading and
  // writing only within the bytes given; longer runs through memcpy.
  static void CopyShort(char* out, const char* from, std::size_t size) {
    if (size >= 8 && size <= 16) {
      uint64_t head, tail;
      std::memcpy(&head, from, 8);
      std::memcpy(&tail, from + size - 8, 8);
      std::memcpy(out, &head, 8);
      std::memcpy(out + size - 8, &tail, 8);
    } else if (size >= 4 && size < 8) {
      uint32_t head, tail;
      std::memcpy(&head, from, 4);
      std::memcpy(&tail, from + size - 4, 4);
      std::memcpy(out, &head, 4);
      std::memcpy(out + size - 4, &tail, 4);
    } else if (size > 16) {
      std::memcpy(out, from, size);
    } else if (size > 0) {  // one to three: first, middle and last
      out[0] = from[0];
      out[size / 2] = from[size / 2];
      out[size - 1] = from[size - 1];
    }
  }
  // A key that needs no escaping; keys are short: copied in place rather
  // than through a call.
  void KeyAsItIs(const char* key, std::size_t size) {
    Separate();
    char* out = Room(size + 3);
    *out++ = '"';
    CopyShort(out, key, size);
    out += size;
    *out++ = '"';
    *out = ':';
    size_ += size + 3;
    comma_ = false;
  }
  // Room for `count` more characters at the end; the caller writes them and
  // counts them in size_.
  char* Room(std::size_t count) {
    if (text_.size() - size_ < count) Grow(count);
    return text_.data() + size_;
  }
  void Grow(std::size_t count);
  // A number of two digits or more.
  void UnsignedDigits(uint64_t value);
  void Put(char c) {
    *Room(1) = c;
    ++size_;
  }
  void Append(const char* text, std::size_t size) {
    std::memcpy(Room(size), text, size);
    size_ += size;
  }
  // The text in quotes when it needs no escaping (with asciiOnly: and holds
  // only ASCII); false, with nothing written, when it does.
  bool Plain(const char* text, std::size_t size, bool asciiOnly);
  // The text in quotes, escaped.
  void Quoted(const char* text, std::size_t size);

  std::string text_;     // written up to size_, then room
  std::size_t size_ = 0;
  bool comma_ = false;
};
