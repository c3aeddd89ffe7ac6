#include "service/declared_subrecord.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>

#include "service/field_report.h"
#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

const char* NameOf(const DeclaredField& field, uint32_t value) {
  return value < field.names.size() ? field.names[value] : nullptr;
}

// A little-endian value of 1 to 4 bytes.
uint32_t ReadValue(const uint8_t* bytes, unsigned width) {
  uint32_t value = 0;
  for (unsigned i = 0; i < width; ++i) value |= uint32_t{bytes[i]} << (8 * i);
  return value;
}

uint32_t Scale(unsigned decimals) {
  uint32_t scale = 1;
  for (unsigned i = 0; i < decimals; ++i) scale *= 10;
  return scale;
}

unsigned BitCount(const DeclaredField& field) {
  return field.width != 0 ? 8u * field.width : field.bits;
}

// A part's value: its bits of the field that holds it.
uint32_t PartOf(const DeclaredField& field, uint32_t holder) {
  const uint32_t mask = field.bits >= 32 ? ~0u : (1u << field.bits) - 1u;
  return (holder >> field.bit) & mask;
}

// The names of the set bits that have one, joined by ", ".
std::string BitNamesText(const DeclaredField& field, uint32_t value) {
  std::string text;
  for (std::size_t bit = 0; bit < field.names.size() && bit < 32; ++bit) {
    if (!(value & (1u << bit)) || field.names[bit] == nullptr) continue;
    if (!text.empty()) text += ", ";
    text += field.names[bit];
  }
  return text;
}

// "<name>_name": the abbreviations are a few letters.
struct NameKey {
  char text[32] = {};
  explicit NameKey(const char* name) {
    const std::size_t length = std::min(std::strlen(name), sizeof text - 6);
    std::memcpy(text, name, length);
    std::memcpy(text + length, "_name", 5);
  }
  const char* Text() const { return text; }
};

void AddField(const DeclaredField& field, uint32_t value, uint32_t flags, FieldList& out) {
  using Shown = DeclaredField::Shown;
  switch (field.shown) {
    case Shown::kHidden: return;
    case Shown::kDecimal:
      out.push_back(Field::Unsigned(field.name, value).Label(field.label));
      return;
    case Shown::kBits:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(field.label)
                        .Shown(BitString(value, BitCount(field)) + "b"));
      return;
    case Shown::kFlag:
      out.push_back(Field::Unsigned(field.name, (flags >> field.bit) & 1u).Label(field.label));
      return;
    case Shown::kNamed: {
      const char* name = NameOf(field, value);
      out.push_back(Field::Unsigned(field.name, value).Label(field.label).Shown(CodeText(value, name)));
      if (name != nullptr) out.push_back(Field::Text(std::string(field.name) + "_name", name));
      return;
    }
    case Shown::kBitNames: {
      const std::string names = BitNamesText(field, value);
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(field.label)
                        .Shown(BitString(value, BitCount(field)) + "b" +
                               (names.empty() ? "" : " (" + names + ")")));
      out.push_back(Field::Text(NameKey(field.name).Text(), names));
      return;
    }
    case Shown::kScaled:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(field.label)
                        .Shown(std::to_string(value) + " (" + ScaledText(value, field.decimals) +
                               (field.unit ? std::string(" ") + field.unit : "") + ")"));
      out.push_back(Field::Real(field.scaledName,
                                static_cast<double>(value) / Scale(field.decimals), field.decimals));
      return;
  }
}

// The same values as AddField gives, straight to the sink.
void WriteField(const DeclaredField& field, uint32_t value, uint32_t flags, FieldSink& sink) {
  using Shown = DeclaredField::Shown;
  switch (field.shown) {
    case Shown::kHidden: return;
    case Shown::kDecimal:
    case Shown::kBits: sink.Unsigned(FieldName(field.name), value); return;
    case Shown::kFlag: sink.Unsigned(FieldName(field.name), (flags >> field.bit) & 1u); return;
    case Shown::kNamed: {
      sink.Unsigned(FieldName(field.name), value);
      const char* name = NameOf(field, value);
      if (name == nullptr) return;
      sink.Text(FieldName(NameKey(field.name).Text()), name);
      return;
    }
    case Shown::kBitNames: {
      sink.Unsigned(FieldName(field.name), value);
      const std::string names = BitNamesText(field, value);
      sink.Text(FieldName(NameKey(field.name).Text()), names.data(), names.size());
      return;
    }
    case Shown::kScaled:
      sink.Unsigned(FieldName(field.name), value);
      sink.Real(FieldName(field.scaledName), static_cast<double>(value) / Scale(field.decimals),
                field.decimals);
      return;
  }
}

}  // namespace

std::optional<std::size_t> DeclaredSubrecord::ReadFields(const uint8_t* srd, uint16_t srl) {
  const std::span<const DeclaredField> fields = declaration_->fields;
  std::size_t required = 0;
  std::size_t checkedBefore = 0;  // the fields before this index were all there
  uint32_t holder = 0;            // the last field read: its parts follow it
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const DeclaredField& field = fields[i];
    // Before the first field that depends on one not yet known to be there,
    // the fields so far must be.
    if (field.presentIn >= 0 && static_cast<std::size_t>(field.presentIn) >= checkedBefore) {
      if (!RequireLength(checks, srl, required)) return std::nullopt;
      checkedBefore = i;
    }
    if (!Present(field)) continue;
    if (field.width == 0) {
      values_[i] = PartOf(field, holder);
      continue;
    }
    if (required + field.width <= srl) values_[i] = ReadValue(srd + required, field.width);
    holder = values_[i];
    required += field.width;
  }
  return required;
}

void DeclaredSubrecord::AddChecks() {
  const std::span<const DeclaredField> fields = declaration_->fields;
  for (uint32_t left = declaration_->checked; left != 0; left &= left - 1) {
    const std::size_t i = static_cast<std::size_t>(std::countr_zero(left));
    const DeclaredField& field = fields[i];
    if (!Present(field)) continue;
    CheckReservedBits(values_[i], field.reserved, field.name, checks);
    if (field.shown == DeclaredField::Shown::kNamed && NameOf(field, values_[i]) == nullptr) {
      checks.push_back(
          StringPrintf("%s %u is not a known %s", field.name, unsigned{values_[i]}, field.namedWhat));
    }
  }
}

uint8_t DeclaredSubrecord::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr || !declaration_->valid) return EGTS_PC_NOTEN_PARAMS;
  const std::optional<std::size_t> required = ReadFields(srd, srl);
  if (!required || !RequireLength(checks, srl, *required)) return EGTS_PC_INVDATALEN;
  CheckNothingLeft(srl - *required, checks);
  AddChecks();
  return EGTS_PC_OK;
}

void DeclaredSubrecord::Report(std::string* target) const { ReportDescribed(*this, target); }

void DeclaredSubrecord::Describe(FieldList& fields) const {
  const std::span<const DeclaredField> declared = declaration_->fields;
  uint32_t flags = 0;
  for (std::size_t i = 0; i < declared.size(); ++i) {
    if (!Present(declared[i])) continue;
    if (declared[i].width != 0) flags = values_[i];
    AddField(declared[i], values_[i], flags, fields);
  }
}

bool DeclaredSubrecord::WriteFields(FieldSink& sink) const {
  const std::span<const DeclaredField> declared = declaration_->fields;
  uint32_t flags = 0;
  for (std::size_t i = 0; i < declared.size(); ++i) {
    if (!Present(declared[i])) continue;
    if (declared[i].width != 0) flags = values_[i];
    WriteField(declared[i], values_[i], flags, sink);
  }
  return true;
}

}  // namespace EGTS
