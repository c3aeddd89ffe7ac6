#pragma once
// The parameters an emergency-call unit keeps and a platform reads and sets
// with COMMAND_DATA (CT_COM, ACT 1 read, ACT 2 set, CCD = the parameter's
// code), described once as data: name, code, type, range, whether the unit
// refuses to set it, and its default. A corrected edition of the table is a
// change of the rows in unit_parameters.cpp only.
//
// Value encodings in DT (little-endian):
//   INT      4 bytes, signed
//   BOOLEAN  1 byte, 0 or 1
//   FLOAT    4 bytes, IEEE 754 single
//   STRING   the bytes without a terminating zero (length from the
//            subrecord); at most kMaxStringBytes

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace EGTS {

enum class ParameterType : uint8_t { kInt, kBoolean, kFloat, kString };

// A parameter's value: int32_t for INT, bool for BOOLEAN, float for FLOAT,
// std::string for STRING.
using ParameterValue = std::variant<int32_t, bool, float, std::string>;

struct UnitParameter {
  uint16_t code;
  const char* name;
  ParameterType type;
  int64_t min;  // INT and FLOAT: the range, both ends included
  int64_t max;
  bool readOnly;
  // INT, BOOLEAN and FLOAT: the default; STRING: defaultText.
  double defaultNumber;
  const char* defaultText;
};

constexpr std::size_t kMaxStringBytes = 255;

// Every row, ordered by code.
std::span<const UnitParameter> UnitParameters();

// The row of a name (exactly as the table writes it) or of a code; null
// when there is none.
const UnitParameter* FindParameter(std::string_view name);
const UnitParameter* FindParameter(uint16_t code);

// "INT", "BOOLEAN", "FLOAT", "STRING".
const char* ParameterTypeName(ParameterType type);

ParameterValue DefaultValue(const UnitParameter& parameter);

// Empty when the value fits the parameter's type and range; otherwise why
// not ("INT expected", "out of range 0..10", ...).
std::string CheckValue(const UnitParameter& parameter, const ParameterValue& value);

// The DT bytes of a value that CheckValue accepts.
std::vector<uint8_t> EncodeValue(const ParameterValue& value);

// The value DT carries for this parameter; nothing when its length does not
// fit the type (INT and FLOAT 4 bytes, BOOLEAN 1) or a STRING is too long.
// The range is not checked here (CheckValue does).
std::optional<ParameterValue> DecodeValue(const UnitParameter& parameter,
                                          std::span<const uint8_t> dt);

// A value from the text an operator types: a decimal integer, "0"/"1" or
// "true"/"false", a decimal number, or the text itself. Nothing when the
// text does not read as the type; the range is not checked here.
std::optional<ParameterValue> ParseValueText(const UnitParameter& parameter,
                                             std::string_view text);

// The value as text: the integer, "true"/"false", the number with up to
// seven significant digits, or the string (CP-1251 bytes as they are).
std::string ValueText(const ParameterValue& value);

}  // namespace EGTS
