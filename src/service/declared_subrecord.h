#pragma once
// Subrecords whose fields are declared once, as data: each field's
// abbreviation (its JSON key), label, width on the wire, how its value is
// shown (decimal, bits, a name from a table, scaled with a unit, a version,
// a text), its reserved bits, the flags taken from it bit by bit, and what
// makes it present (a flag of a field before it, or bytes left). Decoding,
// the range and reserved-bit checks, the JSON and the text report all walk
// the declaration, and so does encoding.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "service/field_sink.h"
#include "service/subrecord_class.h"
#include "transport/bytestream.h"

namespace EGTS {

class DeclaredSubrecord;
struct Declaration;

// 256 bytes a field: the walks over a declaration find a field by a shift
// (at the 216 bytes it needs, the JSON walk of a capture took 0.1% more).
struct alignas(256) DeclaredField {
  // kHidden: read (a word of bit fields) but shown only through its parts.
  // kBitNames: the bits, then the names of those set (JSON `<name>_name`,
  // the names joined by ", ").
  // kVersion: a version word, major number in the high byte: "0x0102
  // (1.2)", and the version as text (JSON `<name>_text`).
  // kText: bytes of text (CP-1251), shown as UTF-8; where it ends is `end`.
  // kBytes: raw bytes, shown in hexadecimal; they end as a kText does.
  // kSigned: a two's complement number of `width` bytes.
  // kEgtsTime: seconds since 2010 UTC, and the date (JSON `valueName`).
  // kWorkedOut: no bytes of its own: a value worked out from the fields
  // (workOut), in JSON only; with `decimals` digits, or whole.
  // kChar: a byte shown as the character it is (CP-1251), and that
  // character as UTF-8 (JSON `<name>_char`).
  // kGroup: no bytes of its own: the `members` fields after it, shown as
  // one object (JSON `name`, the text report's `label` and its lines
  // indented), and only when the group is there. The members say their
  // own presence, the group's or one that asks more.
  // kUnixTime: seconds since 1970 UTC, "0x%.8X (dd.mm.yyyy hh:mm:ss GMT)",
  // and the ISO time (JSON `valueName`, null when it has no date).
  // kWorkedTime: no bytes of its own: a moment worked out, in milliseconds
  // since 1970 UTC, in JSON only: the ISO time (with the milliseconds when
  // `decimals` is 3), null when it has no date.
  // kElements: the last field: elements read by the declaration `element`
  // one after another, as many as the number at `lengthIn` gives. JSON: an
  // array of objects. The text report: the label underlined, then each
  // element's number at the value column, its lines one step in, and
  // `closing` after an element whose last field is there.
  enum class Shown : uint8_t {
    kDecimal,
    kBits,
    kNamed,
    kScaled,
    kFlag,
    kHidden,
    kBitNames,
    kVersion,
    kText,
    kBytes,
    kSigned,
    kEgtsTime,
    kWorkedOut,
    kChar,
    kGroup,
    kUnixTime,
    kWorkedTime,
    kElements
  };
  // Where a kText ends: after `width` bytes (shown up to a NUL among them),
  // at a NUL byte (which it does not hold), at the end of the data, or
  // after as many bytes as the number at `lengthIn` (before it) gives.
  enum class TextEnd : uint8_t { kWidth, kNul, kData, kLengthIn };
  // presentIn for a field present when the data holds its bytes after the
  // fields before it (a text: one byte at least; a worked-out value: none)
  // and every such field before it was there: the data may end early, but
  // has no holes.
  static constexpr int8_t kWhenBytesLeft = -2;
  // What an element whose bytes run out does: it ends the elements, or it
  // is dropped and the next one read (it still counts as one of them). The
  // fields that say what an element holds (those before the first whose
  // presence depends on them) are read first; then all of the rest must be
  // there. A dropped element passes over the bytes of those fields only.
  enum class ElementCut : uint8_t { kEnds, kDropped };

  // The abbreviation: the key in JSON. An element's worked-out value may
  // have none: it is a line of the text report only.
  const char* name = nullptr;
  const char* label = nullptr;  // the line's label in the text report
  // A label that fills its column runs into the "- " after it.
  bool tightLabel = false;
  // Bytes on the wire, 1 to 4 (a kText of TextEnd::kWidth: its length); 0
  // for a part of the nearest number before it: `bits` bits from bit `bit`
  // (a kFlag is one bit).
  uint8_t width = 1;
  Shown shown = Shown::kDecimal;
  uint8_t bit = 0;
  uint8_t bits = 1;
  // kScaled: digits after the point, the unit (null: a plain number), and
  // the JSON key of the scaled value. With no digits after the point the
  // value is shown with its unit ("5 %") and its JSON value is whole.
  uint8_t decimals = 0;
  const char* unit = nullptr;
  const char* valueName = nullptr;
  // kWorkedOut: a value that is not a number (NaN) is null when nullName.
  // An element's field works its value out from the subrecord and the
  // element's place (workOutAt).
  double (*workOut)(const DeclaredSubrecord& subrecord) = nullptr;
  double (*workOutAt)(const DeclaredSubrecord& subrecord, std::size_t element) = nullptr;
  // kNamed: names of the values 0..count-1, or the function that names a
  // value (nameOf); shown in JSON as `<name>_name` unless jsonName is
  // false; and what a value is, for the check of one without a name (none
  // when null). kBitNames: names of the bits 0..count-1, joined from the
  // highest set bit down when highBitFirst; with a valueName, JSON gives
  // them as an array under that key instead of `<name>_name`.
  std::span<const char* const> names = {};
  const char* (*nameOf)(uint32_t value) = nullptr;
  const char* namedWhat = nullptr;
  bool jsonName = true;
  bool highBitFirst = false;
  // kNamed: the key's suffix where it is not "_name"; and whether a value
  // without a name writes that key as null (else it leaves it out). A
  // shared kBytes with nullName: no bytes held is null in JSON. A kBytes
  // with a valueName: JSON also gives its bytes up to the first zero byte
  // as text under that key.
  const char* suffix = nullptr;
  bool nullName = false;
  uint32_t reserved = 0;  // bits that must be 0
  // kText and kBytes: where they end, the fewest bytes they need (fewer
  // give 139), the most they may hold (0: any; more is noted), and whether
  // a text must be decimal digits (NUL padding noted). A kGroup's
  // minLength: the fewest bytes its members need, checked when it is there.
  TextEnd end = TextEnd::kWidth;
  int8_t lengthIn = -1;
  uint8_t minLength = 0;
  uint16_t maxLength = 0;
  bool digits = false;
  // The check of a kText or kBytes that is present but holds nothing.
  const char* emptyCheck = nullptr;
  // The text report's shown text of a number, where its kind's is not it;
  // an element's field: shownAt.
  std::string (*shownText)(const DeclaredSubrecord& subrecord, uint32_t value) = nullptr;
  std::string (*shownAt)(const DeclaredSubrecord& subrecord, std::size_t element,
                         uint32_t value) = nullptr;
  // A check of the value no other member says, run before the reserved
  // bits' and the name's; and a check that reads other fields too, run
  // after the field's own.
  void (*check)(uint32_t value, std::vector<std::string>& checks) = nullptr;
  void (*checkWith)(const DeclaredSubrecord& subrecord, std::vector<std::string>& checks) = nullptr;
  // The field's checks run just before those of the field at this place
  // (before it) instead of in field order; -1: in field order.
  int8_t checkedBefore = -1;
  uint8_t members = 0;  // of a kGroup
  // A kBytes held in a stream that copies of the object share (the class's
  // SharedStream): a new decoding makes a new stream. Such bytes have no
  // checks of their own.
  bool shared = false;
  // A shared kBytes whose stream holds a zero byte after the bytes read,
  // which its encoding and length count and JSON leaves out.
  bool streamNul = false;
  // Four bits of their own instead of a width: such fields share bytes two
  // to a byte, the first in the low half. Where the last one leaves a high
  // half unused, those bits are reserved bits of `byteName`.
  bool halfByte = false;
  const char* byteName = nullptr;
  // The field is present only when bit presentBit of the field at index
  // presentIn (before it) is set; -1: always present; kWhenBytesLeft. And
  // it is absent when bit absentBit of the field at absentIn is set. With
  // presentValues, present instead when the value of the field at presentIn
  // is one of them (bit v: value v).
  int8_t presentIn = -1;
  uint8_t presentBit = 0;
  uint32_t presentValues = 0;
  int8_t absentIn = -1;
  uint8_t absentBit = 0;
  // kElements: how its elements are read, what an element cut short does,
  // and the report's text after an element.
  const Declaration* element = nullptr;
  ElementCut cut = ElementCut::kEnds;
  const char* closing = nullptr;
};

// Where "N bytes after the last field" stands among the checks: before the
// fields' own (the teledata classes), after them, or nowhere (bytes after
// the last field are not looked at).
enum class LeftoverCheck : uint8_t { kFirst, kLast, kNone };

// Where an SRL too short is found: before the first field whose presence or
// end depends on the fields before it (with what those need), or after all
// of them, bytes beyond the data read as 0 and texts taking at least their
// fewest bytes (with what the flags that were there ask for). With
// kAtEndAfterWhole, the checks of the fields the data holds whole come
// before the one of the length.
enum class LengthCheck : uint8_t { kBeforeDependent, kAtEnd, kAtEndAfterWhole };

// How numbers of more than one byte stand on the wire.
enum class WireOrder : uint8_t { kLittleEndian, kBigEndian };

constexpr std::size_t kMaxDeclaredFields = 32;

// How the decoder takes a field from the data (kNone: it takes nothing).
enum class FieldRead : uint8_t { kNumber, kPart, kHalfByte, kText, kNone, kGroup, kElements };

// What the decoder reads of a field, in a few bytes: the declarations of a
// busy stream's subrecords are walked for every one of them.
struct FieldStep {
  FieldRead read = FieldRead::kNumber;
  uint8_t width = 0;
  uint8_t bit = 0;
  int8_t presentIn = -1;
  uint8_t presentBit = 0;
  int8_t absentIn = -1;
  uint8_t absentBit = 0;
  uint32_t mask = 0;  // of a part: its bits, after the shift by `bit`
  uint32_t presentValues = 0;
};

// A JSON key made of a field's name and a suffix ("SRC_name").
struct SuffixedName {
  std::array<char, 32> text{};
  FieldName::Measured measured;
};

constexpr SuffixedName Suffixed(const char* name, const char* suffix) {
  SuffixedName key;
  std::size_t size = 0;
  for (const char* c = name; *c != '\0' && size + 1 < key.text.size(); ++c) key.text[size++] = *c;
  for (const char* c = suffix; *c != '\0' && size + 1 < key.text.size(); ++c) key.text[size++] = *c;
  key.measured = {size, FieldName::IsPlain(key.text.data(), size)};
  return key;
}

// A class's fields with what the decoder needs to know of them as a whole,
// worked out when the program is compiled (Declare): the JSON keys are
// measured then as well.
struct Declaration {
  std::span<const DeclaredField> fields;
  LeftoverCheck leftover = LeftoverCheck::kFirst;
  LengthCheck length = LengthCheck::kBeforeDependent;
  std::array<FieldStep, kMaxDeclaredFields> steps{};
  // Bit i: the fields before field i must all be there before it is read
  // (its presence or where it ends depends on them).
  uint32_t lengthFirst = 0;
  uint32_t checked = 0;  // bit i: field i has a check of its own
  uint32_t texts = 0;    // bit i: field i is a kText or a kBytes
  // Bit i: field i's JSON comes from the field list only (a kBytes, a
  // group, elements, a name that may be null, and the others Declare names).
  uint32_t listOnly = 0;
  bool shares = false;  // a field is held in a shared stream
  // The fields a new object holds: all, as 0, when every one of them is
  // always there and a number, a part or worked out; else none.
  uint32_t startPresent = 0;
  // The order of the fields' checks where a field says checkedBefore.
  bool reordered = false;
  std::array<uint8_t, kMaxDeclaredFields> checkOrder{};
  uint32_t numbers = 0;  // bit i: field i is a number of its own bytes (parts follow it)
  // The fields before headFields are always there and are numbers, their
  // parts or worked out: headBytes bytes that data as long reads straight.
  uint8_t headFields = 0;
  uint16_t headBytes = 0;
  bool bigEndian = false;
  // Neither big-endian numbers nor elements: the reader asks no more.
  bool plain = true;
  // The order of the text report's lines where it is not the fields' order
  // (the JSON keeps that): every field's place once.
  bool reportReordered = false;
  std::array<uint8_t, kMaxDeclaredFields> reportOrder{};
  int8_t elementsAt = -1;  // the kElements field's place; -1: none
  bool valid = false;  // at most kMaxDeclaredFields, presence decided earlier
  std::array<FieldName::Measured, kMaxDeclaredFields> names{};
  std::array<FieldName::Measured, kMaxDeclaredFields> valueNames{};
  std::array<SuffixedName, kMaxDeclaredFields> suffixed{};  // `<name>_name` or `<name>_text`
};

constexpr bool HasOwnCheck(const DeclaredField& field) {
  using Shown = DeclaredField::Shown;
  if (field.checkWith != nullptr) return true;
  if (field.shown == Shown::kText || field.shown == Shown::kBytes) {
    return field.end == DeclaredField::TextEnd::kNul || field.maxLength != 0 || field.digits ||
           field.emptyCheck != nullptr;
  }
  return field.check != nullptr || field.reserved != 0 ||
         (field.halfByte && field.byteName != nullptr) ||
         (field.shown == Shown::kNamed && field.namedWhat != nullptr);
}

constexpr bool IsTextOrBytes(const DeclaredField& field) {
  return field.shown == DeclaredField::Shown::kText || field.shown == DeclaredField::Shown::kBytes;
}

constexpr FieldRead ReadOf(const DeclaredField& field) {
  if (IsTextOrBytes(field)) return FieldRead::kText;
  if (field.shown == DeclaredField::Shown::kWorkedOut ||
      field.shown == DeclaredField::Shown::kWorkedTime) {
    return FieldRead::kNone;
  }
  if (field.shown == DeclaredField::Shown::kGroup) return FieldRead::kGroup;
  if (field.shown == DeclaredField::Shown::kElements) return FieldRead::kElements;
  if (field.halfByte) return FieldRead::kHalfByte;
  return field.width == 0 ? FieldRead::kPart : FieldRead::kNumber;
}

// A part at `index` has a number before it to take its bits from.
constexpr bool HoldsParts(std::span<const DeclaredField> fields, std::size_t index) {
  for (std::size_t i = index; i-- > 0;) {
    if (IsTextOrBytes(fields[i])) return false;
    if (ReadOf(fields[i]) == FieldRead::kNone) continue;
    if (fields[i].shown == DeclaredField::Shown::kGroup) continue;
    if (fields[i].width != 0) return true;
  }
  return false;
}

// Fields an element may hold: numbers, their parts and worked-out values,
// present by a field of the element before them.
constexpr bool HoldsElementFields(const Declaration& element);

// Every place of `count` fields once, none of them a group.
constexpr bool IsFlatOrder(std::span<const DeclaredField> fields, std::span<const uint8_t> order) {
  if (order.size() != fields.size()) return false;
  uint32_t seen = 0;
  for (const uint8_t place : order) {
    if (place >= fields.size() || place >= kMaxDeclaredFields || ((seen >> place) & 1u)) {
      return false;
    }
    if (fields[place].shown == DeclaredField::Shown::kGroup) return false;
    seen |= 1u << place;
  }
  return true;
}

constexpr Declaration Declare(std::span<const DeclaredField> fields,
                              LeftoverCheck leftover = LeftoverCheck::kFirst,
                              LengthCheck length = LengthCheck::kBeforeDependent,
                              WireOrder wireOrder = WireOrder::kLittleEndian,
                              std::span<const uint8_t> reportOrder = {}) {
  Declaration declaration{fields, leftover, length};
  declaration.valid = fields.size() <= kMaxDeclaredFields;
  declaration.bigEndian = wireOrder == WireOrder::kBigEndian;
  declaration.plain = !declaration.bigEndian;
  // Big-endian data is read with its length checked before dependent fields.
  declaration.valid =
      declaration.valid && (!declaration.bigEndian || length == LengthCheck::kBeforeDependent);
  if (!reportOrder.empty()) {
    declaration.valid = declaration.valid && IsFlatOrder(fields, reportOrder);
    declaration.reportReordered = true;
    for (std::size_t i = 0; i < reportOrder.size() && i < kMaxDeclaredFields; ++i) {
      declaration.reportOrder[i] = reportOrder[i];
    }
  }
  std::size_t checkedBefore = 0;  // the fields before this index are known to be there
  for (std::size_t i = 0; i < fields.size() && i < kMaxDeclaredFields; ++i) {
    const DeclaredField& field = fields[i];
    const FieldRead read = ReadOf(field);
    declaration.steps[i] = {read,
                            field.width,
                            field.bit,
                            field.presentIn,
                            field.presentBit,
                            field.absentIn,
                            field.absentBit,
                            field.bits >= 32 ? ~0u : (1u << field.bits) - 1u,
                            field.presentValues};
    if (read == FieldRead::kGroup) {
      declaration.valid =
          declaration.valid && field.members > 0 && i + field.members < fields.size();
      declaration.listOnly |= 1u << i;
    }
    if (field.checkedBefore >= 0) {
      declaration.valid = declaration.valid && static_cast<std::size_t>(field.checkedBefore) < i;
      declaration.reordered = true;
    }
    if (field.presentIn >= 0) {
      declaration.valid = declaration.valid && static_cast<std::size_t>(field.presentIn) < i;
    }
    if (field.absentIn >= 0) {
      declaration.valid = declaration.valid && static_cast<std::size_t>(field.absentIn) < i;
    }
    if (read == FieldRead::kText && field.end == DeclaredField::TextEnd::kLengthIn) {
      declaration.valid =
          declaration.valid && field.lengthIn >= 0 &&
          static_cast<std::size_t>(field.lengthIn) < i &&
          ReadOf(fields[static_cast<std::size_t>(field.lengthIn)]) != FieldRead::kText;
    }
    if (read == FieldRead::kText) declaration.texts |= 1u << i;
    // Bytes, arrays, a null and a time checked against none are the
    // field list's.
    if (field.shown == DeclaredField::Shown::kBytes || field.nullName ||
        field.shown == DeclaredField::Shown::kUnixTime ||
        (field.shown == DeclaredField::Shown::kBitNames && field.valueName != nullptr)) {
      declaration.listOnly |= 1u << i;
    }
    if (field.shared) {
      declaration.valid =
          declaration.valid && field.shown == DeclaredField::Shown::kBytes && !HasOwnCheck(field);
      declaration.shares = true;
    }
    if (field.streamNul) declaration.valid = declaration.valid && field.shared;
    if (read == FieldRead::kPart) {
      declaration.valid = declaration.valid && HoldsParts(fields, i);
    }
    if (read == FieldRead::kNone) {
      declaration.valid =
          declaration.valid && (field.workOut != nullptr || field.workOutAt != nullptr);
    }
    // Without a name: an element's line of the text report alone.
    declaration.valid = declaration.valid && (field.name != nullptr ||
                                              (read == FieldRead::kNone && field.label != nullptr));
    if (read == FieldRead::kElements) {
      declaration.valid = declaration.valid && i + 1 == fields.size() && field.lengthIn >= 0 &&
                          static_cast<std::size_t>(field.lengthIn) < i &&
                          (ReadOf(fields[static_cast<std::size_t>(field.lengthIn)]) ==
                               FieldRead::kNumber ||
                           ReadOf(fields[static_cast<std::size_t>(field.lengthIn)]) ==
                               FieldRead::kPart) &&
                          field.element != nullptr && HoldsElementFields(*field.element) &&
                          field.label != nullptr && !declaration.bigEndian;
      declaration.elementsAt = static_cast<int8_t>(i);
      declaration.plain = false;
      declaration.listOnly |= 1u << i;
    }
    // A worked-out time, an element's value and an EGTS time without its
    // date are the field list's too: the sink's walk need not ask.
    if (field.shown == DeclaredField::Shown::kWorkedTime || field.workOutAt != nullptr ||
        (field.shown == DeclaredField::Shown::kEgtsTime && field.valueName == nullptr)) {
      declaration.listOnly |= 1u << i;
    }
    const bool endsByData = read == FieldRead::kText && field.end != DeclaredField::TextEnd::kWidth;
    const bool dependent =
        field.presentIn == DeclaredField::kWhenBytesLeft || endsByData ||
        (field.presentIn >= 0 && static_cast<std::size_t>(field.presentIn) >= checkedBefore) ||
        (field.absentIn >= 0 && static_cast<std::size_t>(field.absentIn) >= checkedBefore);
    if (length == LengthCheck::kBeforeDependent && dependent && i > checkedBefore) {
      declaration.lengthFirst |= 1u << i;
      checkedBefore = i;
    }
    if (HasOwnCheck(field)) declaration.checked |= 1u << i;
    const bool number = read == FieldRead::kNumber;
    if (number) declaration.numbers |= 1u << i;
    if (declaration.headFields == i && field.presentIn == -1 && field.absentIn == -1 &&
        (number || read == FieldRead::kPart || read == FieldRead::kNone)) {
      ++declaration.headFields;
      if (number)
        declaration.headBytes = static_cast<uint16_t>(declaration.headBytes + field.width);
    }
    if (field.name == nullptr) continue;
    declaration.names[i] = FieldName::Measure(field.name);
    if (field.valueName != nullptr) declaration.valueNames[i] = FieldName::Measure(field.valueName);
    const char* suffix = field.suffix != nullptr                         ? field.suffix
                         : field.shown == DeclaredField::Shown::kVersion ? "_text"
                         : field.shown == DeclaredField::Shown::kChar    ? "_char"
                                                                         : "_name";
    declaration.suffixed[i] = Suffixed(field.name, suffix);
  }
  if (declaration.headFields == fields.size()) {
    declaration.startPresent = fields.size() >= 32 ? ~0u : (1u << fields.size()) - 1u;
  }
  if (declaration.reordered) {
    std::size_t at = 0;
    for (std::size_t j = 0; j < fields.size() && j < kMaxDeclaredFields; ++j) {
      for (std::size_t i = j + 1; i < fields.size() && i < kMaxDeclaredFields; ++i) {
        if (fields[i].checkedBefore == static_cast<int>(j)) {
          declaration.checkOrder[at++] = static_cast<uint8_t>(i);
        }
      }
      if (fields[j].checkedBefore < 0) declaration.checkOrder[at++] = static_cast<uint8_t>(j);
    }
  }
  return declaration;
}

constexpr bool HoldsElementFields(const Declaration& element) {
  if (!element.valid || element.bigEndian) return false;
  for (std::size_t i = 0; i < element.fields.size(); ++i) {
    const FieldRead read = element.steps[i].read;
    if (read != FieldRead::kNumber && read != FieldRead::kPart && read != FieldRead::kNone) {
      return false;
    }
    if (element.steps[i].presentIn < -1 || element.steps[i].presentValues != 0) return false;
  }
  return true;
}

// The names of the set bits of a kBitNames that have one, joined by ", "
// in the field's order.
std::string BitNamesText(const DeclaredField& field, uint32_t value);

// A subrecord read by its declaration. Its values live in room of the
// class's own size (DeclaredWith): the objects of a busy stream are as
// small as their fields allow, and classes of different sizes do not all
// crowd one size of the allocator's.
class DeclaredSubrecord : public Subrecord_Class {
 public:
  DeclaredSubrecord(const DeclaredSubrecord&) = delete;
  DeclaredSubrecord& operator=(const DeclaredSubrecord&) = delete;

  // Writes the present fields as they stand: numbers with the bits their
  // parts hold, texts as sent (one of fixed width padded with NUL bytes).
  uint8_t Encode(bytestream& out) override;
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  uint16_t EncodedLength() const override;
  void Describe(FieldList& fields) const override;
  bool WriteFields(FieldSink& sink) const override;

  // The value of the field at this place of the declaration (0 when the
  // field is absent; a kSigned: its bits); of a text, its bytes as sent
  // (empty when absent).
  uint32_t Value(std::size_t index) const { return values_[index]; }
  const std::string& Text(std::size_t index) const;
  // The bytes of a kText or kBytes, a shared one's too (none when absent).
  std::span<const uint8_t> Bytes(std::size_t index) const;
  bool Present(std::size_t index) const { return (present_ >> index) & 1u; }
  // Makes the number at this place `value` and present; a part sets its
  // bits of the number it belongs to. A shared kBytes is made present as
  // its stream stands (none: no bytes); any other text is left alone.
  void Set(std::size_t index, uint32_t value);
  // Makes the text or bytes at this place `bytes` and present.
  void SetText(std::size_t index, std::string bytes);

  // The elements of the kElements field: how many, the value of the field
  // at `index` of the element's declaration in element `element` (0 when
  // absent), whether it is there, and the sum of that value over the
  // elements up to this one (in 32 bits, as a running time of the wire
  // adds up).
  std::size_t ElementCount() const;
  uint32_t ElementValue(std::size_t element, std::size_t index) const;
  bool ElementPresent(std::size_t element, std::size_t index) const;
  uint32_t ElementSum(std::size_t element, std::size_t index) const;
  // Adds an element with none of its fields there (the kElements field is
  // then there, as Set makes it with the elements it has); gives its place.
  std::size_t AddElement();
  // As Set, for a field of an element.
  void SetElement(std::size_t element, std::size_t index, uint32_t value);
  void ClearElements();

 protected:
  // The declaration outlives the object (a constant of the class's own
  // file); the class has room for `room` values, which it hands over with
  // UseRoom once that member is made.
  // A declaration whose fields are all always there starts with them all
  // present, as 0.
  DeclaredSubrecord(const Declaration& declaration, std::size_t room)
      : declaration_(&declaration),
        fits_(declaration.fields.size() <= room),
        present_(declaration.startPresent) {}
  // A copy of `other` but for the room of its values.
  DeclaredSubrecord(const DeclaredSubrecord& other, std::nullptr_t)
      : Subrecord_Class(other),
        declaration_(other.declaration_),
        fits_(other.fits_),
        present_(other.present_),
        whole_(other.whole_),
        lastHalf_(other.lastHalf_),
        lastHalfByte_(other.lastHalfByte_),
        decoded_(other.decoded_),
        unended_(other.unended_),
        texts_(other.texts_) {}
  void UseRoom(uint32_t* values) { values_ = values; }
  // Makes the field at this place absent; its value stays for a Set or
  // SetText that makes it there again.
  void Clear(std::size_t index) { present_ &= ~(1u << index); }
  // Where a class with a shared kBytes keeps its stream.
  virtual std::shared_ptr<bytestream>* SharedStream() { return nullptr; }
  virtual const std::shared_ptr<bytestream>* SharedStream() const { return nullptr; }
  // Where a class with elements keeps them (DeclaredWithElements): each
  // element's values, then a word of which of its fields are there. Other
  // classes carry no room for them.
  virtual std::vector<uint32_t>* ElementRoom() { return nullptr; }
  virtual const std::vector<uint32_t>* ElementRoom() const { return nullptr; }
  // The declared fields, without what a class adds to them.
  void DescribeDeclared(FieldList& fields) const;
  // The text report: the declared fields' lines in the report's order, and
  // the checks.
  std::string ReportText() const;

 private:
  // What a decoding before found: a decoding starts without it.
  void Forget();
  // The bytes of the text at this place as Encode writes them.
  std::size_t EncodedTextLength(std::size_t index) const;

  // What the readers give for data they refuse. A plain length rather than
  // an optional one: GCC hands an optional back through memory, and the
  // wider load after the narrower stores stalled every decoding.
  static constexpr std::size_t kRefused = SIZE_MAX;
  // Reads the present fields as far as the bytes go and gives the bytes
  // they take; kRefused after adding the check for an SRL too short to hold
  // the fields before one whose presence or length depends on them.
  std::size_t ReadFields(const uint8_t* srd, uint16_t srl);
  // ReadFields for one way of checking the length: what the others need
  // is not counted.
  template <LengthCheck kLength, bool kBigEndian>
  std::size_t ReadFieldsFor(const uint8_t* srd, uint16_t srl);
  // ReadFields of big-endian numbers or with elements.
  std::size_t ReadOtherFields(const uint8_t* srd, uint16_t srl);
  // Whether a field that depends on others is there, `read` bytes in.
  bool PresentBy(const FieldStep& step, std::size_t read, uint16_t srl) const;
  // Makes the number or part at `index` of `declaration` `value` and
  // there, in `values` and `present`.
  static void SetValue(const Declaration& declaration, std::size_t index, uint32_t value,
                       uint32_t* values, uint32_t& present);
  // The elements of the kElements field at `index`, from `at`; gives
  // where they end; kRefused when the data ends before the count's last
  // (those read stay).
  std::size_t ReadElements(std::size_t index, const uint8_t* srd, uint16_t srl, std::size_t at);
  const Declaration& ElementDeclaration() const;
  std::size_t ElementStride() const { return ElementDeclaration().fields.size() + 1; }
  // The elements' values; none without room for them.
  std::span<const uint32_t> ElementValues() const;
  // An element's fields: for JSON in field order, those with a name; for
  // the text report in the report's order, those with a label.
  enum class Walk : uint8_t { kJson, kReport };
  void DescribeElement(std::size_t element, Walk walk, FieldList& fields) const;
  // A field's lines by the kind of its value.
  void AddFieldOf(const Declaration& declaration, std::size_t index, uint32_t value,
                  uint32_t flags, FieldList& fields) const;
  std::string ElementsReport() const;
  // Their JSON, an array of objects, added to `fields`; and the text
  // report of `fields`, the elements and the checks.
  void AddElementsField(FieldList& fields) const;
  std::string ReportWithElements(const FieldList& fields) const;
  std::size_t ElementsLength() const;  // the bytes the elements' numbers take
  // A text starting `at`; gives the bytes it takes.
  std::size_t ReadText(std::size_t index, const uint8_t* srd, uint16_t srl, std::size_t at);
  std::size_t ReadTextInto(std::size_t index, const uint8_t* srd, uint16_t srl, std::size_t at,
                           std::string& bytes);
  // The checks of the fields' values, of their texts and bytes, or of both,
  // in field order.
  enum class Checks : uint8_t { kValues, kTexts, kAll };
  void AddChecks(Checks which, uint32_t fields);
  void AddFieldChecks(Checks which, std::size_t index);
  // The fields from begin up to end, a group's as one object; for the
  // report, without the elements (ElementsReport shows them).
  void DescribeFields(std::size_t begin, std::size_t end, FieldList& fields,
                      Walk walk = Walk::kJson) const;
  // The fields in the text report's order.
  void DescribeForReport(FieldList& fields) const;
  void AddTextChecks(std::size_t index);

  const Declaration* declaration_;
  uint32_t* values_ = nullptr;  // of a text: its place in texts_
  bool fits_;                   // the room holds a value for every field
  uint32_t present_ = 0;        // bit i: field i is there
  uint32_t whole_ = 0;  // bit i: the data holds field i whole (a text: a byte of it at least)
  // The half-byte field that left the high half of its byte unused (none:
  // kMaxDeclaredFields), and that byte.
  uint8_t lastHalf_ = kMaxDeclaredFields;
  uint8_t lastHalfByte_ = 0;
  bool decoded_ = false;  // Decode has run: its values are to be forgotten by the next
  uint32_t unended_ = 0;  // bit i: text i runs to the end of the data without its NUL
  std::vector<std::string> texts_;
};

// A declared subrecord with room for the values of its N fields.
template <std::size_t N>
class DeclaredWith : public DeclaredSubrecord {
 public:
  static constexpr std::size_t kFieldCount = N;

  explicit DeclaredWith(const Declaration& declaration) : DeclaredSubrecord(declaration, N) {
    UseRoom(room_.data());
  }
  DeclaredWith(const DeclaredWith& other) : DeclaredSubrecord(other, nullptr), room_(other.room_) {
    UseRoom(room_.data());
  }
  DeclaredWith& operator=(const DeclaredWith&) = delete;

 private:
  std::array<uint32_t, N> room_{};
};

// A declared subrecord with a kElements field and room for its N fields.
template <std::size_t N>
class DeclaredWithElements : public DeclaredWith<N> {
 public:
  using DeclaredWith<N>::DeclaredWith;
  DeclaredWithElements(const DeclaredWithElements& other) = default;
  DeclaredWithElements& operator=(const DeclaredWithElements&) = delete;

 protected:
  std::vector<uint32_t>* ElementRoom() override { return &elements_; }
  const std::vector<uint32_t>* ElementRoom() const override { return &elements_; }

 private:
  std::vector<uint32_t> elements_;
};

}  // namespace EGTS
