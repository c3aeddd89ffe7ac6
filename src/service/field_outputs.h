#pragma once
// Two outputs that take the same calls, for a class whose fields are listed
// once in a function template over its output: FieldListOut builds the
// field list the text report walks, FieldSinkOut hands the values straight
// to a sink. Labels are literals and shown texts are callables, so the sink
// formats nothing: only the field list calls them.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#include "service/field_list.h"
#include "service/field_sink.h"

namespace EGTS {

class FieldListOut {
 public:
  explicit FieldListOut(FieldList& fields) : fields_(fields) {}

  void Unsigned(FieldName name, uint64_t value) { Put(Field::Unsigned(NameText(name), value)); }
  void Unsigned(FieldName name, uint64_t value, const char* label) {
    Put(Field::Unsigned(NameText(name), value).Label(label));
  }
  template <class ShownText>
  void Unsigned(FieldName name, uint64_t value, const char* label, ShownText shown) {
    Put(Field::Unsigned(NameText(name), value).Label(label).Shown(shown()));
  }
  void Signed(FieldName name, int64_t value) { Put(Field::Signed(NameText(name), value)); }
  void Signed(FieldName name, int64_t value, const char* label) {
    Put(Field::Signed(NameText(name), value).Label(label));
  }
  void Real(FieldName name, double value, int decimals) {
    Put(Field::Real(NameText(name), value, decimals));
  }
  void Text(FieldName name, const char* utf8) { Put(Field::Text(NameText(name), utf8)); }
  template <class ShownText>
  void EgtsTime(FieldName name, uint32_t egtsSeconds, const char* label, ShownText shown) {
    Put(Field::Unsigned(NameText(name), egtsSeconds).Label(label).Shown(shown()).EgtsTime());
  }
  // A text known only as a function that writes it into a buffer (of `Room`
  // bytes) and gives its length.
  template <std::size_t Room, class WriteInto>
  void TextInto(FieldName name, WriteInto write) {
    char buffer[Room];
    const std::size_t size = write(buffer);
    Put(Field::Text(NameText(name), std::string(buffer, size)));
  }

 private:
  static std::string NameText(FieldName name) { return std::string(name.Text(), name.Size()); }
  void Put(Field&& field) { fields_.push_back(std::move(field)); }

  FieldList& fields_;
};

class FieldSinkOut {
 public:
  explicit FieldSinkOut(FieldSink& sink) : sink_(sink) {}

  void Unsigned(FieldName name, uint64_t value, const char* = nullptr) {
    sink_.Unsigned(name, value);
  }
  template <class ShownText>
  void Unsigned(FieldName name, uint64_t value, const char*, ShownText) {
    sink_.Unsigned(name, value);
  }
  void Signed(FieldName name, int64_t value, const char* = nullptr) { sink_.Signed(name, value); }
  void Real(FieldName name, double value, int decimals) { sink_.Real(name, value, decimals); }
  void Text(FieldName name, const char* utf8) { sink_.Text(name, utf8); }
  template <class ShownText>
  void EgtsTime(FieldName name, uint32_t egtsSeconds, const char*, ShownText) {
    sink_.EgtsTime(name, egtsSeconds);
  }
  template <std::size_t Room, class WriteInto>
  void TextInto(FieldName name, WriteInto write) {
    char buffer[Room];
    const std::size_t size = write(buffer);
    sink_.Text(name, buffer, size);
  }

 private:
  FieldSink& sink_;
};

}  // namespace EGTS
