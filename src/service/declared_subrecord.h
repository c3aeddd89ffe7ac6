#pragma once
// Subrecords of fixed layout whose fields are declared once, as data: each
// field's abbreviation (its JSON key), label, width on the wire, how its
// value is shown (decimal, bits, a name from a table, scaled with a unit),
// its reserved bits, and the flags taken from it bit by bit. Decoding, the
// range and reserved-bit checks, the JSON and the text report all walk the
// declaration.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

struct DeclaredField {
  // kHidden: read (a word of bit fields) but shown only through its parts.
  // kBitNames: the bits, then the names of those set (JSON `<name>_name`,
  // the names joined by ", ").
  enum class Shown : uint8_t { kDecimal, kBits, kNamed, kScaled, kFlag, kHidden, kBitNames };

  const char* name = nullptr;  // the abbreviation: the key in JSON
  const char* label = nullptr;  // the line's label in the text report
  // Bytes on the wire, 1 to 4; 0 for a part of the nearest field before it
  // that has a width: `bits` bits from bit `bit` (a kFlag is one bit).
  uint8_t width = 1;
  Shown shown = Shown::kDecimal;
  uint8_t bit = 0;
  uint8_t bits = 1;
  // kScaled: digits after the point, the unit (null: a plain number), and
  // the JSON key of the scaled value.
  uint8_t decimals = 0;
  const char* unit = nullptr;
  const char* scaledName = nullptr;
  // kNamed: names of the values 0..count-1 (JSON `<name>_name`), and what a
  // value is, for the check of one outside the table; kBitNames: names of
  // the bits 0..count-1.
  std::span<const char* const> names = {};
  const char* namedWhat = nullptr;
  uint32_t reserved = 0;  // bits that must be 0
  // The field is present only when bit presentBit of the field at index
  // presentIn (before it) is set; -1: always present.
  int8_t presentIn = -1;
  uint8_t presentBit = 0;
};

// A class's fields with what the decoder needs to know of them as a whole,
// worked out when the program is compiled (Declare).
struct Declaration {
  std::span<const DeclaredField> fields;
  uint32_t checked = 0;      // bit i: field i has reserved bits or a name table
  bool valid = false;        // at most kMaxDeclaredFields, presence decided earlier
};

constexpr std::size_t kMaxDeclaredFields = 20;

constexpr Declaration Declare(std::span<const DeclaredField> fields) {
  Declaration declaration{fields};
  declaration.valid = fields.size() <= kMaxDeclaredFields;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const DeclaredField& field = fields[i];
    if (field.presentIn >= 0) {
      declaration.valid = declaration.valid && static_cast<std::size_t>(field.presentIn) < i;
    }
    if (field.reserved != 0 || field.shown == DeclaredField::Shown::kNamed) {
      declaration.checked |= 1u << i;
    }
  }
  return declaration;
}

class DeclaredSubrecord : public Subrecord_Class {
 public:
  // The declaration outlives the object (a constant of the class's own file).
  explicit DeclaredSubrecord(const Declaration& declaration) : declaration_(&declaration) {}

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  bool WriteFields(FieldSink& sink) const override;

  // The value of the field at this place of the declaration (0 when the
  // field is absent).
  uint32_t Value(std::size_t index) const { return values_[index]; }

 private:
  bool Present(const DeclaredField& field) const {
    return field.presentIn < 0 || ((values_[field.presentIn] >> field.presentBit) & 1u) != 0;
  }
  // Reads the present fields as far as the bytes go and gives the bytes
  // they take; none after adding the check for an SRL too short to hold the
  // fields before one whose presence depends on them.
  std::optional<std::size_t> ReadFields(const uint8_t* srd, uint16_t srl);
  void AddChecks();

  const Declaration* declaration_;
  std::array<uint32_t, kMaxDeclaredFields> values_{};
};

}  // namespace EGTS
