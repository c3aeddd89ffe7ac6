#include "service/declared_subrecord.h"

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

uint32_t Scale(unsigned decimals) {
  uint32_t scale = 1;
  for (unsigned i = 0; i < decimals; ++i) scale *= 10;
  return scale;
}

void AddField(const DeclaredField& field, uint32_t value, uint32_t flags, FieldList& out) {
  using Shown = DeclaredField::Shown;
  switch (field.shown) {
    case Shown::kDecimal:
      out.push_back(Field::Unsigned(field.name, value).Label(field.label));
      return;
    case Shown::kBits:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(field.label)
                        .Shown(BitString(value, 8u * field.width) + "b"));
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
    case Shown::kScaled:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(field.label)
                        .Shown(std::to_string(value) + " (" + ScaledText(value, field.decimals) +
                               " " + field.unit + ")"));
      out.push_back(Field::Real(field.scaledName,
                                static_cast<double>(value) / Scale(field.decimals), field.decimals));
      return;
  }
}

}  // namespace

uint8_t DeclaredSubrecord::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr || fields_.size() > kMaxFields) return EGTS_PC_NOTEN_PARAMS;
  std::size_t length = 0;
  for (const DeclaredField& field : fields_) length += field.width;
  if (!RequireLength(checks, srl, length)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd, srl);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    uint32_t value = 0;
    for (unsigned byte = 0; byte < fields_[i].width; ++byte) value |= uint32_t{in.U8()} << (8 * byte);
    values_[i] = value;
  }
  CheckNothingLeft(in.Remaining(), checks);
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const DeclaredField& field = fields_[i];
    if (field.shown == DeclaredField::Shown::kNamed && NameOf(field, values_[i]) == nullptr) {
      checks.push_back(
          StringPrintf("%s %u is not a known %s", field.name, unsigned{values_[i]}, field.namedWhat));
    }
    CheckReservedBits(values_[i], field.reserved, field.name, checks);
  }
  return EGTS_PC_OK;
}

void DeclaredSubrecord::Report(std::string* target) const { ReportDescribed(*this, target); }

void DeclaredSubrecord::Describe(FieldList& fields) const {
  uint32_t flags = 0;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i].width != 0) flags = values_[i];
    AddField(fields_[i], values_[i], flags, fields);
  }
}

}  // namespace EGTS
