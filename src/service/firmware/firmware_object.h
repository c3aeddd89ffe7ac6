#pragma once
// The object header (ODH) and the object data (OD) that the FIRMWARE
// service's SERVICE_PART_DATA and SERVICE_FULL_DATA carry, declared once
// for both.
// ODH layout (little-endian), 7 bytes and more:
//   0  u8   OA   bits 7-4 reserved, 3-2 OT (object type: 0 firmware,
//                1 configuration), 1-0 MT (module type: 0 peripheral,
//                1 the terminal itself)
//   1  u8   CMI  component or module id
//   2  u16  VER  version: high byte major, low byte minor
//   4  u16  WOS  CRC-16/CCITT (as SFRCS) of the whole object
//   6  FN   file name, up to 64 bytes
//      D    a 0 byte ending FN
// OD follows to the end of the data. JSON holds all of it (a program can
// rebuild an object from the JSON); the text report shows its first 16
// bytes, as an object can be far too long to show whole.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/declared_subrecord.h"

namespace EGTS {

// Where the object's fields stand, counted from its header.
namespace ObjectPlace {
inline constexpr std::size_t kHeader = 0;
inline constexpr std::size_t kOA = 1;
inline constexpr std::size_t kOT = 2;
inline constexpr std::size_t kMT = 3;
inline constexpr std::size_t kCMI = 4;
inline constexpr std::size_t kVER = 5;
inline constexpr std::size_t kOdCrc = 6;
inline constexpr std::size_t kWOS = 7;
inline constexpr std::size_t kFN = 8;
inline constexpr std::size_t kOdLength = 9;
inline constexpr std::size_t kOD = 10;
inline constexpr std::size_t kCount = 11;
}  // namespace ObjectPlace

// The CRC-16/CCITT of the object data.
uint16_t ObjectCrc(const std::string& od);
// What the reports show of an object's fields.
std::string ObjectSignatureShown(uint16_t wos, bool wholeObject, const std::string& od);
std::string ObjectDataShown(const std::string& od);
std::string TwoBitsShown(uint32_t value, const char* name);
// Adds a check when WOS is not the CRC of the whole object od.
void CheckObjectCrc(uint16_t wos, const std::string& od, std::vector<std::string>& checks);
const char* ObjectTypeName(uint32_t ot);
const char* ModuleTypeName(uint32_t mt);

// In an unnamed namespace: the functions of its fields then have internal
// linkage, and a declaration can compare them with null when it is
// compiled, under UBSan too (which takes any other function's address for
// a value known only when linked).
namespace {

// The object's fields from kFirst on: the header as one group, the data
// after it. The header is there when the field at headerIn has a value of
// headerValues (-1: always); the object is whole, and its CRC worked out
// and checked, when the header is there and the field at wholeIn has one
// of wholeValues (-1: always).
template <std::size_t kFirst>
constexpr std::array<DeclaredField, ObjectPlace::kCount> ObjectFields(int8_t headerIn,
                                                                      uint32_t headerValues,
                                                                      int8_t wholeIn,
                                                                      uint32_t wholeValues) {
  using Shown = DeclaredField::Shown;
  using namespace ObjectPlace;
  std::array<DeclaredField, kCount> fields = {{
      {.name = "ODH",
       .label = "Object Data Header",
       .width = 0,
       .shown = Shown::kGroup,
       .minLength = 7,
       .members = static_cast<uint8_t>(kFN - kHeader),
       .presentIn = headerIn,
       .presentValues = headerValues},
      {.name = "OA", .label = "Object Attribute", .shown = Shown::kBits, .reserved = 0xF0},
      {.name = "OT",
       .label = "    OT",
       .width = 0,
       .shown = Shown::kNamed,
       .bit = 2,
       .bits = 2,
       .nameOf = ObjectTypeName,
       .namedWhat = "object type",
       .shownText = [](const DeclaredSubrecord&,
                       uint32_t ot) { return TwoBitsShown(ot, ObjectTypeName(ot)); }},
      {.name = "MT",
       .label = "    MT",
       .width = 0,
       .shown = Shown::kNamed,
       .bit = 0,
       .bits = 2,
       .nameOf = ModuleTypeName,
       .namedWhat = "module type",
       .shownText = [](const DeclaredSubrecord&,
                       uint32_t mt) { return TwoBitsShown(mt, ModuleTypeName(mt)); }},
      {.name = "CMI", .label = "Component ID"},
      {.name = "VER", .label = "Version", .width = 2, .shown = Shown::kVersion},
      {.name = "od_crc16",
       .width = 0,
       .shown = Shown::kWorkedOut,
       .workOut =
           [](const DeclaredSubrecord& s) {
             return static_cast<double>(ObjectCrc(s.Text(kFirst + kOD)));
           },
       .presentIn = wholeIn,
       .presentValues = wholeValues},
      {.name = "WOS",
       .label = "Object Signature",
       .width = 2,
       .shownText =
           [](const DeclaredSubrecord& s, uint32_t wos) {  // WOS is there with the header
             return ObjectSignatureShown(static_cast<uint16_t>(wos), s.Present(kFirst + kOdCrc),
                                         s.Text(kFirst + kOD));
           }},
      {.name = "FN",
       .label = "File Name",
       .width = 0,
       .shown = Shown::kText,
       .end = DeclaredField::TextEnd::kNul,
       .maxLength = 64,
       .checkedBefore = static_cast<int8_t>(kFirst + kOA)},  // read before OA's bits are checked
      {.name = "od_length",
       .width = 0,
       .shown = Shown::kWorkedOut,
       .workOut =
           [](const DeclaredSubrecord& s) {
             return static_cast<double>(s.Text(kFirst + kOD).size());
           }},
      {.name = "OD",
       .label = "Object Data",
       .width = 0,
       .shown = Shown::kBytes,
       .end = DeclaredField::TextEnd::kData,
       .shownText = [](const DeclaredSubrecord& s,
                       uint32_t) { return ObjectDataShown(s.Text(kFirst + kOD)); },
       .checkWith =
           [](const DeclaredSubrecord& s, std::vector<std::string>& checks) {
             if (!s.Present(kFirst + kHeader) || !s.Present(kFirst + kOdCrc)) return;
             CheckObjectCrc(static_cast<uint16_t>(s.Value(kFirst + kWOS)), s.Text(kFirst + kOD),
                            checks);
           }},
  }};
  // The header's fields are there with it.
  for (std::size_t i = kOA; i <= kFN; ++i) {
    if (i == kOdCrc) continue;
    fields[i].presentIn = headerIn;
    fields[i].presentValues = headerValues;
  }
  return fields;
}

}  // namespace

// Two arrays of fields as one.
template <std::size_t N, std::size_t M>
constexpr std::array<DeclaredField, N + M> Joined(const std::array<DeclaredField, N>& first,
                                                  const std::array<DeclaredField, M>& second) {
  std::array<DeclaredField, N + M> joined{};
  for (std::size_t i = 0; i < N; ++i) joined[i] = first[i];
  for (std::size_t i = 0; i < M; ++i) joined[N + i] = second[i];
  return joined;
}

}  // namespace EGTS
