#pragma once
// The record header's fields declared once, in the order they are shown:
// the JSON of a packet and the text report both walk this table over a
// RecordHeaderView (a field shows when the view has it).

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "service/record.h"

namespace EGTS {

struct RecordField {
  enum class Shown : uint8_t {
    kDecimal,
    kFlags,    // the flags byte: its bits, then in hex
    kBits,     // `width` bits from bit `shift` of the value
    kTime,     // seconds since 2010: in hex, then as a date
    kService,  // a service number, then its name
  };

  // The JSON key, letters only.
  std::string_view name;
  // The text report's label; null: JSON's only.
  const char* label;
  std::optional<uint32_t> (*value)(const RecordHeaderView&);
  Shown shown = Shown::kDecimal;
  uint8_t shift = 0;
  uint8_t width = 0;
  // The text report shows it only with the standard's checks (-x).
  bool standardOnly = false;
  // JSON: the key of the decoded value that follows (a date, a service's
  // name); empty: none.
  std::string_view decoded = {};
};

std::span<const RecordField> RecordFields();

// A kBits field's bits of `value`, any other field's value.
inline uint32_t RecordFieldValue(const RecordField& field, uint32_t value) {
  if (field.shown != RecordField::Shown::kBits) return value;
  return (value >> field.shift) & ((1u << field.width) - 1u);
}

}  // namespace EGTS
