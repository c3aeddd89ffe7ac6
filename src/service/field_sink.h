#pragma once
// The decoded fields of a subrecord handed out one by one as they are read,
// without building a field list: the JSON writer takes them this way. A
// class that writes its fields to a sink gives the same names, values and
// order as its Describe, with nothing for the text report (labels and shown
// texts), so the JSON of a busy stream costs no formatted strings.

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace EGTS {

// A field's name: a literal in the program, its characters checked when it
// is compiled to need no escaping in JSON (letters, digits, '_') and its
// length counted then; or, made explicitly, any text known at run time.
class FieldName {
 public:
  template <std::size_t N>
  consteval FieldName(const char (&text)[N])  // NOLINT: implicit from a literal
      : text_(text), size_(N - 1), plain_(true) {
    if (!IsPlain(text, N - 1)) throw "a field name to escape";
  }
  explicit FieldName(const char* text) : text_(text), size_(std::strlen(text)), plain_(false) {}
  // A name measured before: its length, and whether IsPlain holds for it.
  struct Measured {
    std::size_t size = 0;
    bool plain = false;
  };
  FieldName(const char* text, Measured measured)
      : text_(text), size_(measured.size), plain_(measured.plain) {}

  // Letters, digits and '_' only: written in JSON as they are.
  static constexpr bool IsPlain(const char* text, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i) {
      const char c = text[i];
      const bool plain =
          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
      if (!plain) return false;
    }
    return true;
  }
  static constexpr Measured Measure(const char* text) {
    std::size_t size = 0;
    while (text[size] != '\0') ++size;
    return {size, IsPlain(text, size)};
  }

  const char* Text() const { return text_; }
  std::size_t Size() const { return size_; }
  // Checked when compiled: written as it is.
  bool Plain() const { return plain_; }

 private:
  const char* text_;
  std::size_t size_;
  bool plain_;
};

class FieldSink {
 public:
  virtual ~FieldSink() = default;

  virtual void Unsigned(FieldName name, uint64_t value) = 0;
  virtual void Signed(FieldName name, int64_t value) = 0;
  // Shown with `decimals` digits after the point, as the text report has it.
  virtual void Real(FieldName name, double value, int decimals) = 0;
  virtual void Text(FieldName name, const char* utf8, std::size_t size) = 0;
  void Text(FieldName name, const char* utf8) { Text(name, utf8, std::strlen(utf8)); }
  // Seconds since 2010-01-01 UTC, checked against the time of reception
  // (a field marked egtsTime in a field list).
  virtual void EgtsTime(FieldName name, uint32_t egtsSeconds) = 0;
};

}  // namespace EGTS
