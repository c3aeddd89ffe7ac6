#include "service/declared_subrecord.h"

#include "service/declared_elements.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "service/field_report.h"
#include "service/srd_cursor.h"
#include "service/time_field.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

// The text of a field that is no text.
const std::string kNoText;

const char* NameOf(const DeclaredField& field, uint32_t value) {
  if (field.nameOf != nullptr) return field.nameOf(value);
  return value < field.names.size() ? field.names[value] : nullptr;
}

// A little-endian value of 1 to 4 bytes.
uint32_t ReadValue(const uint8_t* bytes, unsigned width) {
  switch (width) {
    case 1:
      return bytes[0];
    case 2:
      return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8;
    case 3:
      return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16;
    default:
      return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
             uint32_t{bytes[3]} << 24;
  }
}

// A big-endian value of 1 to 4 bytes.
uint32_t ReadValueBigEndian(const uint8_t* bytes, unsigned width) {
  uint32_t value = 0;
  for (unsigned i = 0; i < width && i < 4; ++i) value = value << 8 | bytes[i];
  return value;
}

template <bool kBigEndian>
uint32_t ReadNumber(const uint8_t* bytes, unsigned width) {
  if constexpr (kBigEndian) {
    return ReadValueBigEndian(bytes, width);
  } else {
    return ReadValue(bytes, width);
  }
}

uint32_t Scale(unsigned decimals) {
  uint32_t scale = 1;
  for (unsigned i = 0; i < decimals; ++i) scale *= 10;
  return scale;
}

// A field of its own bytes that parts after it may take bits from.
bool IsNumber(const DeclaredField& field) {
  return ReadOf(field) == FieldRead::kNumber || ReadOf(field) == FieldRead::kHalfByte;
}

// A kSigned value of `width` bytes, its sign bit extended.
int64_t SignedValue(uint32_t bits, unsigned width) {
  const unsigned unused = 32 - 8 * std::min(width, 4u);
  return static_cast<int32_t>(bits << unused) >> unused;
}

// The date of seconds since 2010 UTC, as a text of its own.
struct EgtsDate {
  char text[kIsoTextRoom];
  std::size_t size;
  explicit EgtsDate(uint32_t egtsSeconds)
      : size(IsoUtcTextInto(int64_t{egtsSeconds} + kEgtsEpochOffset, text)) {}
};

unsigned BitCount(const DeclaredField& field) {
  return field.width != 0 ? 8u * field.width : field.bits;
}

// The names of the set bits that have one, in the field's order.
std::vector<const char*> SetBitNames(const DeclaredField& field, uint32_t value) {
  std::vector<const char*> names;
  const std::size_t count = std::min<std::size_t>(field.names.size(), 32);
  for (std::size_t at = 0; at < count; ++at) {
    const std::size_t bit = field.highBitFirst ? count - 1 - at : at;
    if ((value & (1u << bit)) && field.names[bit] != nullptr) names.push_back(field.names[bit]);
  }
  return names;
}

std::string VersionShown(uint32_t version) {
  return StringPrintf("0x%.4X (%s)", version, VersionText(static_cast<uint16_t>(version)).c_str());
}

// A text as the reports show it: one of fixed width up to its first NUL,
// any other whole.
std::string ShownText(const DeclaredField& field, const std::string& bytes) {
  if (field.end == DeclaredField::TextEnd::kWidth) return TextUpToNul(bytes);
  return Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

void AddFieldOfKind(const DeclaredSubrecord& subrecord, const Declaration& declaration,
                    std::size_t index, uint32_t value, uint32_t flags, const std::string& text,
                    FieldList& out) {
  using Shown = DeclaredField::Shown;
  const DeclaredField& field = declaration.fields[index];
  const char* const suffixed = declaration.suffixed[index].text.data();
  const char* const label = field.label != nullptr ? field.label : "";  // none: JSON only
  switch (field.shown) {
    case Shown::kHidden:
    case Shown::kGroup:     // Describe gathers its members
    case Shown::kElements:  // and the elements
      return;
    case Shown::kSigned:
      out.push_back(Field::Signed(field.name, SignedValue(value, field.width)).Label(label));
      return;
    case Shown::kEgtsTime: {
      out.push_back(
          Field::Unsigned(field.name, value).Label(label).Shown(EgtsTimeShown(value)).EgtsTime());
      if (field.valueName == nullptr) return;
      const EgtsDate date(value);
      out.push_back(Field::Text(field.valueName, std::string(date.text, date.size)));
      return;
    }
    case Shown::kWorkedOut: {
      if (field.workOut == nullptr || field.label != nullptr) [[unlikely]] {
        AddShownWorkedOut(subrecord, field, 0, out);
        return;
      }
      const double worked = field.workOut(subrecord);
      if (field.nullName && std::isnan(worked)) {
        out.push_back(Field::Null(field.name));
      } else if (field.decimals != 0) {
        out.push_back(Field::Real(field.name, worked, field.decimals));
      } else {
        out.push_back(Field::Signed(field.name, static_cast<int64_t>(worked)));
      }
      return;
    }
    case Shown::kWorkedTime:
      AddWorkedTime(subrecord, field, 0, out);
      return;
    case Shown::kUnixTime:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(label)
                        .Shown(StringPrintf("0x%.8X (%s)", value, UnixTimeText(value).c_str())));
      out.push_back(IsoTimeField(field.valueName, value));
      return;
    case Shown::kDecimal:
      out.push_back(Field::Unsigned(field.name, value).Label(label));
      return;
    case Shown::kVersion:
      out.push_back(Field::Unsigned(field.name, value).Label(label).Shown(VersionShown(value)));
      out.push_back(Field::Text(suffixed, VersionText(static_cast<uint16_t>(value))));
      return;
    case Shown::kText:
      out.push_back(Field::Text(field.name, ShownText(field, text)).Label(label));
      return;
    case Shown::kBytes: {
      std::span<const uint8_t> bytes = subrecord.Bytes(index);
      if (field.shared && field.nullName && bytes.empty()) {
        out.push_back(Field::Null(field.name).Label(label));
        return;
      }
      if (field.streamNul && !bytes.empty()) bytes = bytes.first(bytes.size() - 1);
      out.push_back(Field::Bytes(field.name, bytes.data(), bytes.size()).Label(label));
      if (field.valueName != nullptr) {
        const auto nul = std::find(bytes.begin(), bytes.end(), uint8_t{0});
        out.push_back(
            Field::Text(field.valueName,
                        Cp1251ToUtf8(bytes.data(), static_cast<std::size_t>(nul - bytes.begin()))));
      }
      return;
    }
    case Shown::kChar: {
      const auto byte = static_cast<uint8_t>(value);
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(label)
                        .Shown(std::string(1, static_cast<char>(byte))));
      out.push_back(Field::Text(suffixed, Cp1251ToUtf8(&byte, 1)));
      return;
    }
    case Shown::kBits:
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(label)
                        .Shown(BitString(value, BitCount(field)) + "b"));
      return;
    case Shown::kFlag:
      out.push_back(Field::Unsigned(field.name, (flags >> field.bit) & 1u).Label(label));
      return;
    case Shown::kNamed: {
      const char* name = NameOf(field, value);
      out.push_back(Field::Unsigned(field.name, value).Label(label).Shown(CodeText(value, name)));
      if (!field.jsonName) return;
      if (name != nullptr) {
        out.push_back(Field::Text(suffixed, name));
      } else if (field.nullName) {
        out.push_back(Field::Null(suffixed));
      }
      return;
    }
    case Shown::kBitNames: {
      const std::string names = BitNamesText(field, value);
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(label)
                        .Shown(BitString(value, BitCount(field)) + "b" +
                               (names.empty() ? "" : " (" + names + ")")));
      if (field.valueName == nullptr) {
        out.push_back(Field::Text(suffixed, names));
        return;
      }
      FieldList each;
      for (const char* name : SetBitNames(field, value)) each.push_back(Field::Text("", name));
      out.push_back(Field::Array(field.valueName, std::move(each)));
      return;
    }
    case Shown::kScaled:
      if (field.decimals == 0) {
        out.push_back(
            Field::Unsigned(field.name, value)
                .Label(label)
                .Shown(std::to_string(value) + (field.unit ? std::string(" ") + field.unit : "")));
        out.push_back(Field::Unsigned(field.valueName, value));
        return;
      }
      out.push_back(Field::Unsigned(field.name, value)
                        .Label(label)
                        .Shown(std::to_string(value) + " (" + ScaledText(value, field.decimals) +
                               (field.unit ? std::string(" ") + field.unit : "") + ")"));
      out.push_back(Field::Real(field.valueName, static_cast<double>(value) / Scale(field.decimals),
                                field.decimals));
      return;
  }
}

// The field's lines, its own shown text where it has one. Inlined into
// both walks: a call per field cost the text report of a capture 1%.
[[gnu::always_inline]] inline void AddField(const DeclaredSubrecord& subrecord,
                                            const Declaration& declaration, std::size_t index,
                                            uint32_t value, uint32_t flags,
                                            const std::string& text, FieldList& out) {
  const DeclaredField& field = declaration.fields[index];
  const std::size_t first = out.size();
  AddFieldOfKind(subrecord, declaration, index, value, flags, text, out);
  if (out.size() == first) return;
  if (field.shownText != nullptr) {
    out[first].shown = field.shownText(subrecord, value);
    out[first].ownShown = true;
  }
  out[first].tightLabel = field.tightLabel;
}

// The same values as AddField gives, straight to the sink.
// Inlined into the loop over the fields: a busy stream writes every one.
[[gnu::always_inline]] inline void WriteField(const DeclaredSubrecord& subrecord,
                                              const Declaration& declaration, std::size_t index,
                                              uint32_t value, uint32_t flags,
                                              const std::string& text, FieldSink& sink) {
  using Shown = DeclaredField::Shown;
  const DeclaredField& field = declaration.fields[index];
  const FieldName name(field.name, declaration.names[index]);
  const SuffixedName& suffixed = declaration.suffixed[index];
  switch (field.shown) {
    case Shown::kHidden:
    case Shown::kGroup:  // a group's JSON comes from the field list
    case Shown::kUnixTime:
    case Shown::kWorkedTime:
    case Shown::kElements:
      return;
    case Shown::kSigned:
      sink.Signed(name, SignedValue(value, field.width));
      return;
    case Shown::kEgtsTime: {
      sink.EgtsTime(name, value);
      const EgtsDate date(value);
      sink.Text(FieldName(field.valueName, declaration.valueNames[index]), date.text, date.size);
      return;
    }
    case Shown::kWorkedOut: {
      const double worked = field.workOut(subrecord);
      if (field.decimals != 0) {
        sink.Real(name, worked, field.decimals);
      } else {
        sink.Signed(name, static_cast<int64_t>(worked));
      }
      return;
    }
    case Shown::kVersion: {
      sink.Unsigned(name, value);
      const std::string version = VersionText(static_cast<uint16_t>(value));
      sink.Text(FieldName(suffixed.text.data(), suffixed.measured), version.data(), version.size());
      return;
    }
    case Shown::kText: {
      const std::string shown = ShownText(field, text);
      sink.Text(name, shown.data(), shown.size());
      return;
    }
    case Shown::kBytes:  // WriteFields leaves such a class to its field list
      return;
    case Shown::kChar: {
      sink.Unsigned(name, value);
      const auto byte = static_cast<uint8_t>(value);
      const std::string character = Cp1251ToUtf8(&byte, 1);
      sink.Text(FieldName(suffixed.text.data(), suffixed.measured), character.data(),
                character.size());
      return;
    }
    case Shown::kDecimal:
    case Shown::kBits:
      sink.Unsigned(name, value);
      return;
    case Shown::kFlag:
      sink.Unsigned(name, (flags >> field.bit) & 1u);
      return;
    case Shown::kNamed: {
      sink.Unsigned(name, value);
      const char* name = NameOf(field, value);
      if (name == nullptr || !field.jsonName) return;
      sink.Text(FieldName(suffixed.text.data(), suffixed.measured), name);
      return;
    }
    case Shown::kBitNames: {
      sink.Unsigned(name, value);
      const std::string names = BitNamesText(field, value);
      sink.Text(FieldName(suffixed.text.data(), suffixed.measured), names.data(), names.size());
      return;
    }
    case Shown::kScaled:
      sink.Unsigned(name, value);
      if (field.decimals == 0) {
        sink.Unsigned(FieldName(field.valueName, declaration.valueNames[index]), value);
        return;
      }
      sink.Real(FieldName(field.valueName, declaration.valueNames[index]),
                static_cast<double>(value) / Scale(field.decimals), field.decimals);
      return;
  }
}

}  // namespace

std::string BitNamesText(const DeclaredField& field, uint32_t value) {
  std::string text;
  for (const char* name : SetBitNames(field, value)) {
    if (!text.empty()) text += ", ";
    text += name;
  }
  return text;
}

bool DeclaredSubrecord::PresentBy(const FieldStep& step, std::size_t read, uint16_t srl) const {
  if (step.presentIn == DeclaredField::kWhenBytesLeft) {
    const std::size_t bytes = step.read == FieldRead::kNone ? 0 : std::max<uint8_t>(step.width, 1);
    return read + bytes <= srl;
  }
  const uint32_t value = values_[static_cast<std::size_t>(step.presentIn)];
  if (step.presentValues != 0) return value < 32 && ((step.presentValues >> value) & 1u) != 0;
  return ((value >> step.presentBit) & 1u) != 0;
}

std::size_t DeclaredSubrecord::ReadFields(const uint8_t* srd, uint16_t srl) {
  if (!declaration_->plain) [[unlikely]] return ReadOtherFields(srd, srl);
  switch (declaration_->length) {
    case LengthCheck::kBeforeDependent:
      return ReadFieldsFor<LengthCheck::kBeforeDependent, false>(srd, srl);
    case LengthCheck::kAtEnd:
      return ReadFieldsFor<LengthCheck::kAtEnd, false>(srd, srl);
    case LengthCheck::kAtEndAfterWhole:
      return ReadFieldsFor<LengthCheck::kAtEndAfterWhole, false>(srd, srl);
  }
  return kRefused;
}

// Out of line: the busy classes' decoding does not carry it.
[[gnu::noinline]] std::size_t DeclaredSubrecord::ReadOtherFields(const uint8_t* srd,
                                                               uint16_t srl) {
  std::size_t required = kRefused;
  if (declaration_->bigEndian) {  // read one way only (Declare)
    required = ReadFieldsFor<LengthCheck::kBeforeDependent, true>(srd, srl);
  } else if (declaration_->length == LengthCheck::kBeforeDependent) {
    required = ReadFieldsFor<LengthCheck::kBeforeDependent, false>(srd, srl);
  } else if (declaration_->length == LengthCheck::kAtEnd) {
    required = ReadFieldsFor<LengthCheck::kAtEnd, false>(srd, srl);
  } else {
    required = ReadFieldsFor<LengthCheck::kAtEndAfterWhole, false>(srd, srl);
  }
  if (required == kRefused || declaration_->elementsAt < 0) return required;
  // The elements come last: the walk has found them there.
  return ReadElements(static_cast<std::size_t>(declaration_->elementsAt), srd, srl, required);
}

template <LengthCheck kLength, bool kBigEndian>
std::size_t DeclaredSubrecord::ReadFieldsFor(const uint8_t* srd, uint16_t srl) {
  // Read once: a store of a value could be taken for a change of these.
  uint32_t* const values = values_;
  const FieldStep* const steps = declaration_->steps.data();
  const std::size_t headFields = declaration_->headFields;
  constexpr bool kReadOn = kLength != LengthCheck::kBeforeDependent;
  constexpr bool kWhole = kLength == LengthCheck::kAtEndAfterWhole;
  const std::size_t count = declaration_->fields.size();
  const uint32_t lengthFirst = declaration_->lengthFirst;
  std::size_t required = 0;
  uint32_t holder = 0;        // the last number read: its parts follow it
  bool highHalfNext = false;  // the last byte read has its high half still to give
  uint32_t present = 0;
  uint32_t whole = 0;
  std::size_t fewest = 0;  // what `required` would be with every text at its fewest bytes
  bool holderWhole = false;
  uint8_t lastHalf = kMaxDeclaredFields;
  uint8_t halfByte = 0;
  bool dataEnded = false;  // a field there when its bytes are was not
  std::size_t i = 0;
  if (srl >= declaration_->headBytes) {
    // The head is all there: read straight.
    for (; i < headFields; ++i) {
      const FieldStep& step = steps[i];
      if (step.read == FieldRead::kNumber) {
        holder = ReadNumber<kBigEndian>(srd + required, step.width);
        values[i] = holder;
        required += step.width;
      } else if (step.read == FieldRead::kPart) {
        values[i] = (holder >> step.bit) & step.mask;
      }
    }
    present = i == 32 ? ~0u : (1u << i) - 1u;
    whole = present;
    fewest = required;
    holderWhole = true;
  }
  for (; i < count; ++i) {
    const FieldStep& step = steps[i];
    const FieldRead read = step.read;
    if (read != FieldRead::kHalfByte) highHalfNext = false;
    if (!kReadOn && ((lengthFirst >> i) & 1u) != 0 && !RequireLength(checks, srl, required)) {
      present_ = present;
      return kRefused;
    }
    if (step.presentIn != -1) {
      if (step.presentIn == DeclaredField::kWhenBytesLeft) {
        dataEnded = dataEnded || !PresentBy(step, required, srl);
        if (dataEnded) continue;
      } else if (!PresentBy(step, required, srl)) {
        continue;
      }
    }
    if (step.absentIn != -1 &&
        ((values[static_cast<std::size_t>(step.absentIn)] >> step.absentBit) & 1u) != 0) {
      continue;
    }
    present |= 1u << i;
    switch (read) {
      case FieldRead::kNumber:
        holderWhole = required + step.width <= srl;
        if (holderWhole) values[i] = ReadNumber<kBigEndian>(srd + required, step.width);
        holder = values[i];
        required += step.width;
        if (kWhole) {
          fewest += step.width;
          if (holderWhole) whole |= 1u << i;
        }
        break;
      case FieldRead::kPart:
        // A part: its bits of the number before it.
        values[i] = (holder >> step.bit) & step.mask;
        if (kWhole && holderWhole) whole |= 1u << i;
        break;
      case FieldRead::kHalfByte:
        if (highHalfNext) {
          values[i] = halfByte >> 4;
          lastHalf = kMaxDeclaredFields;
        } else {
          holderWhole = required < srl;
          halfByte = holderWhole ? srd[required] : 0;
          values[i] = halfByte & 0x0Fu;
          lastHalf = static_cast<uint8_t>(i);
          ++required;
          if (kWhole) ++fewest;
        }
        highHalfNext = !highHalfNext;
        if (kWhole && holderWhole) whole |= 1u << i;
        break;
      case FieldRead::kNone:
        break;
      case FieldRead::kElements:  // ReadFields reads them after the walk
        break;
      case FieldRead::kGroup:
        [[unlikely]]
        // The fewest bytes its members need: a text's way.
        if (!kReadOn && !RequireLength(checks, srl, required + declaration_->fields[i].minLength)) {
          present_ = present;
          return kRefused;
        }
        break;
      case FieldRead::kText: {
        const uint8_t least = declaration_->fields[i].minLength;
        if (!kReadOn && least != 0 && !RequireLength(checks, srl, required + least)) {
          present_ = present;
          return kRefused;
        }
        const std::size_t taken = ReadText(i, srd, srl, required);
        if (kWhole) {
          if (required < srl) whole |= 1u << i;
          const DeclaredField::TextEnd end = declaration_->fields[i].end;
          const bool known =
              end == DeclaredField::TextEnd::kLengthIn || end == DeclaredField::TextEnd::kWidth;
          fewest += known ? taken : least;
        }
        required += std::max<std::size_t>(taken, kReadOn ? least : 0);
        break;
      }
    }
  }
  present_ = present;
  // Data shorter than the fewest bytes the flags ask for holds no text
  // whole: such a text is not read.
  if (kWhole) whole_ = srl < fewest ? whole & ~declaration_->texts : whole;
  lastHalf_ = lastHalf;
  lastHalfByte_ = halfByte;
  return required;
}

std::size_t DeclaredSubrecord::ReadText(std::size_t index, const uint8_t* srd, uint16_t srl,
                                        std::size_t at) {
  if (declaration_->fields[index].shared) [[unlikely]] {
    std::string bytes;
    const std::size_t taken = ReadTextInto(index, srd, srl, at, bytes);
    auto stream = std::make_shared<bytestream>();
    WriteBytes(*stream, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (declaration_->fields[index].streamNul) stream->AppendByte(0);
    *SharedStream() = std::move(stream);
    return taken;
  }
  values_[index] = static_cast<uint32_t>(texts_.size());
  return ReadTextInto(index, srd, srl, at, texts_.emplace_back());
}

std::size_t DeclaredSubrecord::ReadTextInto(std::size_t index, const uint8_t* srd, uint16_t srl,
                                            std::size_t at, std::string& bytes) {
  const DeclaredField& field = declaration_->fields[index];
  const uint8_t* begin = srd + std::min<std::size_t>(at, srl);
  const uint8_t* end = srd + srl;
  switch (field.end) {
    case DeclaredField::TextEnd::kWidth:
      if (at + field.width <= srl) bytes.assign(reinterpret_cast<const char*>(begin), field.width);
      return field.width;
    case DeclaredField::TextEnd::kData:
      bytes.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin));
      return bytes.size();
    case DeclaredField::TextEnd::kLengthIn: {
      const std::size_t length = values_[static_cast<std::size_t>(field.lengthIn)];
      const std::size_t held = std::min<std::size_t>(length, static_cast<std::size_t>(end - begin));
      bytes.assign(reinterpret_cast<const char*>(begin), held);
      return length;
    }
    case DeclaredField::TextEnd::kNul: {
      const uint8_t* nul = std::find(begin, end, uint8_t{0});
      bytes.assign(reinterpret_cast<const char*>(begin), static_cast<std::size_t>(nul - begin));
      if (nul != end) return bytes.size() + 1;
      unended_ |= 1u << index;
      return bytes.size();
    }
  }
  return 0;
}

const std::string& DeclaredSubrecord::Text(std::size_t index) const {
  if (!Present(index) || declaration_->steps[index].read != FieldRead::kText) return kNoText;
  if (declaration_->fields[index].shared) return kNoText;
  return texts_[values_[index]];
}

std::span<const uint8_t> DeclaredSubrecord::Bytes(std::size_t index) const {
  if (!Present(index) || declaration_->steps[index].read != FieldRead::kText) return {};
  if (declaration_->fields[index].shared) {
    const std::shared_ptr<bytestream>& stream = *SharedStream();
    if (!stream) return {};
    return {stream->bytes.data(), std::min<std::size_t>(stream->position, stream->bytes.size())};
  }
  const std::string& bytes = texts_[values_[index]];
  return {reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()};
}

void DeclaredSubrecord::AddTextChecks(std::size_t index) {
  const DeclaredField& field = declaration_->fields[index];
  const std::string& bytes = texts_[values_[index]];
  if (field.emptyCheck != nullptr && bytes.empty()) checks.push_back(field.emptyCheck);
  if ((unended_ >> index) & 1u) {
    checks.push_back(StringPrintf("%s has no terminating NUL", field.name));
  }
  if (field.maxLength != 0 && bytes.size() > field.maxLength) {
    const char* format = field.shown == DeclaredField::Shown::kBytes
                             ? "%s holds %zu bytes, more than %u"
                             : "%s is %zu bytes long, more than %u";
    checks.push_back(StringPrintf(format, field.name, bytes.size(), unsigned{field.maxLength}));
  }
  if (field.digits) CheckDigits(field.name, bytes, checks);
}

[[gnu::always_inline]] inline void DeclaredSubrecord::AddFieldChecks(Checks which, std::size_t i) {
  const DeclaredField& field = declaration_->fields[i];
  if (declaration_->steps[i].read == FieldRead::kText) {
    if (which == Checks::kValues) return;
    AddTextChecks(i);
  } else {
    if (which == Checks::kTexts) return;
    if (field.check != nullptr) field.check(values_[i], checks);
    if (field.reserved != 0) CheckReservedBits(values_[i], field.reserved, field.name, checks);
    if (field.shown == DeclaredField::Shown::kNamed && field.namedWhat != nullptr &&
        NameOf(field, values_[i]) == nullptr) {
      checks.push_back(StringPrintf("%s %u is not a known %s", field.name, unsigned{values_[i]},
                                    field.namedWhat));
    }
    if (i == lastHalf_) CheckReservedBits(lastHalfByte_, 0xF0, field.byteName, checks);
  }
  if (field.checkWith != nullptr) field.checkWith(*this, checks);
}

void DeclaredSubrecord::AddChecks(Checks which, uint32_t fields) {
  const uint32_t checked = declaration_->checked & fields;
  if (!declaration_->reordered) {
    for (uint32_t left = checked; left != 0; left &= left - 1) {
      AddFieldChecks(which, static_cast<std::size_t>(std::countr_zero(left)));
    }
    return;
  }
  for (std::size_t at = 0; at < declaration_->fields.size(); ++at) {
    const std::size_t i = declaration_->checkOrder[at];
    if ((checked >> i) & 1u) AddFieldChecks(which, i);
  }
}

uint8_t DeclaredSubrecord::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr || !declaration_->valid || !fits_) return EGTS_PC_NOTEN_PARAMS;
  if (decoded_) Forget();
  decoded_ = true;
  const std::size_t required = ReadFields(srd, srl);
  if (required == kRefused) return EGTS_PC_INVDATALEN;
  if (srl < required) {
    if (declaration_->length == LengthCheck::kAtEndAfterWhole) {
      AddChecks(Checks::kAll, present_ & whole_);
    }
    RequireLength(checks, srl, required);
    return EGTS_PC_INVDATALEN;
  }
  // Leftover first: what reading the texts found, the leftover, then the
  // values' checks; else all in field order, then the leftover.
  if (declaration_->leftover == LeftoverCheck::kFirst) {
    if ((declaration_->checked & declaration_->texts & present_) != 0) {
      AddChecks(Checks::kTexts, present_);
    }
    CheckNothingLeft(srl - required, checks);
    AddChecks(Checks::kValues, present_);
  } else {
    AddChecks(Checks::kAll, present_);
    if (declaration_->leftover == LeftoverCheck::kLast) CheckNothingLeft(srl - required, checks);
  }
  return EGTS_PC_OK;
}

void DeclaredSubrecord::Forget() {
  std::fill_n(values_, declaration_->fields.size(), 0u);
  present_ = 0;
  whole_ = 0;
  lastHalf_ = kMaxDeclaredFields;
  lastHalfByte_ = 0;
  unended_ = 0;
  texts_.clear();
  ClearElements();
  checks.clear();
  if (declaration_->shares) SharedStream()->reset();
}

void DeclaredSubrecord::Set(std::size_t index, uint32_t value) {
  if (!fits_ || index >= declaration_->fields.size()) return;
  const FieldRead read = declaration_->steps[index].read;
  if (read == FieldRead::kElements) {  // there with the elements it holds
    present_ |= 1u << index;
    return;
  }
  if (read == FieldRead::kText) {  // a text's value is its place
    if (declaration_->fields[index].shared) present_ |= 1u << index;
    return;
  }
  SetValue(*declaration_, index, value, values_, present_);
}

void DeclaredSubrecord::SetValue(const Declaration& declaration, std::size_t index, uint32_t value,
                                 uint32_t* values, uint32_t& present) {
  const FieldStep& step = declaration.steps[index];
  present |= 1u << index;
  if (step.read != FieldRead::kPart) {
    values[index] = value;
    return;
  }
  values[index] = value & step.mask;
  // The number it is part of: the nearest one before it.
  std::size_t holder = index;
  while (holder-- > 0 && declaration.steps[holder].read != FieldRead::kNumber) {
  }
  const uint32_t bits = step.mask << step.bit;
  values[holder] = (values[holder] & ~bits) | ((value << step.bit) & bits);
}

void DeclaredSubrecord::SetText(std::size_t index, std::string bytes) {
  if (!fits_ || index >= declaration_->fields.size()) return;
  if (declaration_->steps[index].read != FieldRead::kText) return;
  if (declaration_->fields[index].shared) {
    auto stream = std::make_shared<bytestream>();
    WriteBytes(*stream, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (declaration_->fields[index].streamNul) stream->AppendByte(0);
    *SharedStream() = std::move(stream);
    present_ |= 1u << index;
    return;
  }
  if (Present(index)) {
    texts_[values_[index]] = std::move(bytes);
    return;
  }
  present_ |= 1u << index;
  values_[index] = static_cast<uint32_t>(texts_.size());
  texts_.push_back(std::move(bytes));
}

std::size_t DeclaredSubrecord::EncodedTextLength(std::size_t index) const {
  const DeclaredField& field = declaration_->fields[index];
  if (field.shared) return Bytes(index).size();
  const std::size_t held = texts_[values_[index]].size();
  if (field.end == DeclaredField::TextEnd::kWidth) return field.width;
  if (field.end == DeclaredField::TextEnd::kNul) return held + ((unended_ >> index) & 1u ? 0 : 1);
  return held;
}

uint8_t DeclaredSubrecord::Encode(bytestream& out) {
  if (!declaration_->valid || !fits_) return EGTS_PC_NOTEN_PARAMS;
  bool lowHalfHeld = false;  // a half byte waits for the one that shares its byte
  uint8_t halves = 0;
  // A half byte alone in its byte: the high half as it came.
  const auto lone = [&]() {
    return static_cast<uint8_t>(halves |
                                (lastHalf_ < kMaxDeclaredFields ? lastHalfByte_ & 0xF0 : 0));
  };
  for (std::size_t i = 0; i < declaration_->fields.size(); ++i) {
    if (!Present(i)) continue;
    const FieldStep& step = declaration_->steps[i];
    if (step.read != FieldRead::kHalfByte && lowHalfHeld) {
      out.AppendByte(lone());
      lowHalfHeld = false;
    }
    switch (step.read) {
      case FieldRead::kNumber:
        for (unsigned byte = 0; byte < step.width; ++byte) {
          const unsigned place = declaration_->bigEndian ? step.width - 1u - byte : byte;
          out.AppendByte(static_cast<uint8_t>(values_[i] >> (8 * place)));
        }
        break;
      case FieldRead::kHalfByte:
        if (lowHalfHeld) {
          out.AppendByte(static_cast<uint8_t>(halves | (values_[i] & 0x0Fu) << 4));
        } else {
          halves = static_cast<uint8_t>(values_[i] & 0x0Fu);
        }
        lowHalfHeld = !lowHalfHeld;
        break;
      case FieldRead::kText: {
        if (declaration_->fields[i].shared) {
          const std::span<const uint8_t> bytes = Bytes(i);
          WriteBytes(out, bytes.data(), bytes.size());
          break;
        }
        std::string bytes = texts_[values_[i]];
        bytes.resize(EncodedTextLength(i), '\0');
        WriteBytes(out, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        break;
      }
      case FieldRead::kElements:
        for (std::size_t k = 0; k < ElementCount(); ++k) {
          const Declaration& element = ElementDeclaration();
          for (std::size_t j = 0; j < element.fields.size(); ++j) {
            if (!ElementPresent(k, j) || element.steps[j].read != FieldRead::kNumber) continue;
            for (unsigned byte = 0; byte < element.steps[j].width; ++byte) {
              out.AppendByte(static_cast<uint8_t>(ElementValue(k, j) >> (8 * byte)));
            }
          }
        }
        break;
      case FieldRead::kPart:  // its bits are in the number before it
      case FieldRead::kNone:
      case FieldRead::kGroup:
        break;
    }
  }
  if (lowHalfHeld) out.AppendByte(lone());
  return EGTS_PC_OK;
}

uint16_t DeclaredSubrecord::EncodedLength() const {
  std::size_t length = 0;
  bool lowHalfHeld = false;
  for (std::size_t i = 0; i < declaration_->fields.size() && fits_; ++i) {
    if (!Present(i)) continue;
    const FieldStep& step = declaration_->steps[i];
    if (step.read != FieldRead::kHalfByte) lowHalfHeld = false;
    if (step.read == FieldRead::kNumber) length += step.width;
    if (step.read == FieldRead::kText) length += EncodedTextLength(i);
    if (step.read == FieldRead::kElements) length += ElementsLength();
    if (step.read == FieldRead::kHalfByte) {
      if (!lowHalfHeld) ++length;
      lowHalfHeld = !lowHalfHeld;
    }
  }
  return static_cast<uint16_t>(std::min<std::size_t>(length, 0xFFFF));
}

void DeclaredSubrecord::Report(std::string* target) const {
  EmitReportPiece(target, ReportText(), true);
}

std::string DeclaredSubrecord::ReportText() const {
  FieldList fields;
  if (declaration_->reportReordered) {
    DescribeForReport(fields);
  } else {
    fields.reserve(2 * declaration_->fields.size());
    DescribeFields(0, declaration_->fields.size(), fields, Walk::kReport);
  }
  if (declaration_->elementsAt >= 0) [[unlikely]] return ReportWithElements(fields);
  return FormatFieldReport(fields, checks);
}

void DeclaredSubrecord::DescribeForReport(FieldList& fields) const {
  const std::span<const DeclaredField> declared = declaration_->fields;
  fields.reserve(2 * declared.size());
  for (std::size_t at = 0; at < declared.size(); ++at) {
    const std::size_t i = declaration_->reportOrder[at];
    if (!Present(i)) continue;
    // A flag's bits come from the nearest number before it.
    std::size_t holder = i;
    while (holder > 0 && !IsNumber(declared[holder])) --holder;
    const uint32_t flags = IsNumber(declared[holder]) ? values_[holder] : 0;
    AddField(*this, *declaration_, i, values_[i], flags, Text(i), fields);
  }
}

void DeclaredSubrecord::AddFieldOf(const Declaration& declaration, std::size_t index,
                                   uint32_t value, uint32_t flags, FieldList& fields) const {
  AddFieldOfKind(*this, declaration, index, value, flags, kNoText, fields);
}

void DeclaredSubrecord::Describe(FieldList& fields) const { DescribeDeclared(fields); }

void DeclaredSubrecord::DescribeDeclared(FieldList& fields) const {
  const std::span<const DeclaredField> declared = declaration_->fields;
  // A field gives two lines at most: no moving them as the list grows.
  fields.reserve(fields.size() + 2 * declared.size());
  DescribeFields(0, declared.size(), fields);
}

void DeclaredSubrecord::DescribeFields(std::size_t begin, std::size_t end, FieldList& fields,
                                       Walk walk) const {
  const std::span<const DeclaredField> declared = declaration_->fields;
  uint32_t flags = 0;
  for (std::size_t i = begin; i < end; ++i) {
    const DeclaredField& field = declared[i];
    if (field.shown == DeclaredField::Shown::kGroup && !Present(i)) {
      i += field.members;  // its members are shown only with it
      continue;
    }
    if (!Present(i)) continue;
    if (field.shown == DeclaredField::Shown::kGroup) {
      FieldList members;
      DescribeFields(i + 1, i + 1 + field.members, members, walk);
      fields.push_back(Field::Object(field.name, std::move(members)).Label(field.label));
      i += field.members;
      continue;
    }
    if (walk == Walk::kJson && field.name == nullptr) continue;  // a report line
    if (field.shown == DeclaredField::Shown::kElements) [[unlikely]] {
      if (walk == Walk::kJson) AddElementsField(fields);  // ElementsReport shows them
      continue;
    }
    if (IsNumber(field)) flags = values_[i];
    AddField(*this, *declaration_, i, values_[i], flags, Text(i), fields);
  }
}

bool DeclaredSubrecord::WriteFields(FieldSink& sink) const {
  // A sink takes no bytes and no null: their JSON comes from the field list.
  if ((present_ & declaration_->listOnly) != 0) return false;
  // Read once: the sink's calls could be taken for changes of these.
  const uint32_t* const values = values_;
  const Declaration& declaration = *declaration_;
  const uint32_t numbers = declaration.numbers;
  const uint32_t texts = declaration.texts;
  uint32_t flags = 0;
  for (uint32_t left = present_; left != 0; left &= left - 1) {
    const std::size_t i = static_cast<std::size_t>(std::countr_zero(left));
    if ((numbers >> i) & 1u) flags = values[i];
    const bool text = (texts >> i) & 1u;
    WriteField(*this, declaration, i, values[i], flags, text ? texts_[values[i]] : kNoText, sink);
  }
  return true;
}

}  // namespace EGTS
