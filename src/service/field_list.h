#pragma once
// The decoded content of a subrecord, described once as a list of fields.
// The JSON writer walks it, and so does the text report of the subrecords
// beyond the original eleven classes (their own Report stays as it is).
//
// A field has
//   name   the key in JSON: the protocol's abbreviation in upper case
//          ("NTM", "LAT", "ADIO1"), or a decoded value in lower case with
//          its unit ("latitude", "speed_kmh", "CCD_name");
//   label  the label of its line in the text report; empty for a field that
//          only JSON shows (decoded companions of a raw field usually are);
//   value  null, unsigned, signed, real, boolean, text (UTF-8), bytes (shown
//          as hex), an object (members by name) or an array (members in
//          order);
//   shown  the text report's value after " - "; empty: a default made from
//          the value (decimal, 'text', hex bytes); an object or array with
//          a shown text is one line in the text report;
//   egtsTime  the value counts seconds since 2010-01-01 UTC; such fields
//          are checked against the time of reception;
//   unixTime  the value counts seconds since 1970-01-01 UTC, 0 meaning
//          unknown; checked against the time of reception both ways.

#include <cstdint>
#include <string>
#include <vector>

namespace EGTS {

struct Field;
using FieldList = std::vector<Field>;

struct Field {
  enum class Kind : uint8_t {
    kNull, kUnsigned, kSigned, kReal, kBool, kText, kBytes, kObject, kArray
  };

  Kind kind = Kind::kNull;
  std::string name;
  std::string label;
  uint64_t unsignedValue = 0;
  int64_t signedValue = 0;
  double realValue = 0;
  int decimals = 6;       // digits after the point of a real in the default text
  std::string textValue;  // kText: UTF-8; kBytes: the raw bytes
  std::string shown;
  bool egtsTime = false;
  bool unixTime = false;
  // A label that fills its column runs into the "- " after it (else a
  // blank parts them).
  bool tightLabel = false;
  // `shown` was given, even empty: the report shows it, not the default.
  bool ownShown = false;
  FieldList members;      // kObject and kArray

  static Field Null(std::string name);
  static Field Unsigned(std::string name, uint64_t value);
  static Field Signed(std::string name, int64_t value);
  static Field Real(std::string name, double value, int decimals = 6);
  static Field Bool(std::string name, bool value);  // held in unsignedValue
  static Field Text(std::string name, std::string utf8);
  static Field Bytes(std::string name, const uint8_t* data, std::size_t size);
  static Field Object(std::string name, FieldList members = {});
  static Field Array(std::string name, FieldList members = {});

  // Chainable on a temporary: Field::Unsigned("SPD", v).Label("Speed").Shown("...")
  Field&& Label(std::string text) && {
    label = std::move(text);
    return std::move(*this);
  }
  Field&& Shown(std::string text) && {
    shown = std::move(text);
    return std::move(*this);
  }
  Field&& EgtsTime() && {
    egtsTime = true;
    return std::move(*this);
  }
  Field&& UnixTime() && {
    unixTime = true;
    return std::move(*this);
  }
  Field&& Members(FieldList list) && {
    members = std::move(list);
    return std::move(*this);
  }
};

// A member of an object by name; null when there is none.
const Field* FindField(const FieldList& fields, const std::string& name);

}  // namespace EGTS
