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
  enum class Shown : uint8_t { kDecimal, kBits, kNamed, kScaled, kFlag };

  const char* name;          // the abbreviation: the key in JSON
  const char* label;         // the line's label in the text report
  uint8_t width = 1;         // bytes on the wire, 1 to 4; 0 for kFlag
  Shown shown = Shown::kDecimal;
  // kFlag: the bit of the nearest field before it that has a width.
  uint8_t bit = 0;
  // kScaled: digits after the point, the unit, and the JSON key of the
  // scaled value.
  uint8_t decimals = 0;
  const char* unit = nullptr;
  const char* scaledName = nullptr;
  // kNamed: names of the values 0..count-1 (JSON `<name>_name`), and what a
  // value is, for the check of one outside the table.
  std::span<const char* const> names;
  const char* namedWhat = nullptr;
  uint32_t reserved = 0;  // bits that must be 0
  // The field is present only when bit presentBit of the field at index
  // presentIn (before it) is set; -1: always present.
  int8_t presentIn = -1;
  uint8_t presentBit = 0;
};

class DeclaredSubrecord : public Subrecord_Class {
 public:
  static constexpr std::size_t kMaxFields = 12;

  // The declaration outlives the object (a table of the class's own file).
  explicit DeclaredSubrecord(std::span<const DeclaredField> fields) : fields_(fields) {}

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target = nullptr) const override;
  void Describe(FieldList& fields) const override;

  // The value of the field at this place of the declaration (0 when the
  // field is absent).
  uint32_t Value(std::size_t index) const { return values_[index]; }

 private:
  bool Present(std::size_t index) const;
  // Whether a later field's presence depends on this one.
  bool DecidesPresence(std::size_t index) const;
  // The bytes the present fields take, reading the fields that decide
  // presence on the way; none after adding the check for an SRL too short
  // to hold one of those.
  std::optional<std::size_t> RequiredLength(const uint8_t* srd, uint16_t srl);

  std::span<const DeclaredField> fields_;
  std::array<uint32_t, kMaxFields> values_{};
};

}  // namespace EGTS
