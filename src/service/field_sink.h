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

class FieldSink {
 public:
  virtual ~FieldSink() = default;

  virtual void Unsigned(const char* name, uint64_t value) = 0;
  virtual void Signed(const char* name, int64_t value) = 0;
  // Shown with `decimals` digits after the point, as the text report has it.
  virtual void Real(const char* name, double value, int decimals) = 0;
  virtual void Text(const char* name, const char* utf8, std::size_t size) = 0;
  void Text(const char* name, const char* utf8) { Text(name, utf8, std::strlen(utf8)); }
  // Seconds since 2010-01-01 UTC, checked against the time of reception
  // (a field marked egtsTime in a field list).
  virtual void EgtsTime(const char* name, uint32_t egtsSeconds) = 0;
};

}  // namespace EGTS
