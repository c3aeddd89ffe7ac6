#pragma once
// The one table of subrecords: a row per service (RST), subrecord type (SRT)
// and length rule, saying what the subrecord is called, which class decodes
// it for the original report and which with -x, and how each is made,
// filled and cloned. The names, the factory's accept checks and -x all read
// it; look-ups go through an index by service and type.
//
// Without -x a row's original class is used; a service with rows of its own
// refuses other types (165), a service without any is unknown (150). With
// -x a row's standard class comes first; a row without one is decided as
// without -x.

#include <cstdint>
#include <memory>

#include "service/subrecord_class.h"

namespace EGTS {

// The length rule of a row: SRT 20 under TELEDATA is STATE_DATA when SRL is
// 5, else ACCEL_DATA.
enum class SrlRule : uint8_t { kAny, kExactly5, kNot5 };

// How objects of one class are made and copied.
struct SubrecordClassOps {
  std::unique_ptr<Subrecord_Class> (*make)() = nullptr;
  // A copy of an object of exactly this class; null for any other class.
  std::unique_ptr<Subrecord_Class> (*clone)(const Subrecord_Class&) = nullptr;
};

// Fills a new object of the original set from srl bytes of SRD.
using SubrecordFill = uint8_t (*)(Subrecord_Class& object, const uint8_t* srd, uint16_t srl);

struct SubrecordRow {
  static constexpr uint8_t kEveryService = 0xFF;

  uint8_t rst;  // kEveryService: accepted under every service
  uint8_t srt;
  SrlRule rule;
  const char* name;          // "EGTS_SR_...", the name with -x
  const char* originalName;  // the name without -x; null: as name
  // Without -x: accepted when `accepted`; with no make the subrecord is
  // accepted with any SRD and nothing of it is kept but its bytes.
  bool accepted;
  SubrecordClassOps original;
  SubrecordFill fill;  // null: the class's Decode
  // Without -x, 139 when SRL is below minSrl or, before any other check,
  // when fewer than minFollowing bytes follow the header.
  uint16_t minSrl;
  uint8_t minFollowing;
  SubrecordClassOps standard;  // with -x; no make: decided as without -x

  const char* NameWithoutX() const { return originalName != nullptr ? originalName : name; }
};

// The row -x decodes with (one with a standard class) for this service,
// type and length; null when there is none.
const SubrecordRow* FindStandardSubrecord(uint8_t rst, uint16_t srt, uint16_t srl);

// The row accepted without -x under this service (its own, or one of every
// service); null when the type is not accepted there.
const SubrecordRow* FindOriginalSubrecord(uint8_t rst, uint16_t srt);

// Whether the service has rows of its own without -x.
bool ServiceHasOriginalSubrecords(uint8_t rst);

// True when the standard gives the service a name (TELEDATA, AUTH,
// FIRMWARE, COMMANDS, ECALL...).
bool StandardServiceKnown(uint8_t rst);

// "EGTS_SR_..." name of a subrecord type accepted without -x under some
// service; "unspecified" for other types.
const char* SubrecordTypeName(uint16_t srt);

// A copy of an object made by the row of its type accepted without -x, or
// by its own Clone; null when neither copies it.
std::unique_ptr<Subrecord_Class> CloneSubrecord(uint16_t srt, const Subrecord_Class& object);

}  // namespace EGTS

// The name of a service type number; "unspecified" for numbers without one.
const char* ServiceTypeName(uint16_t serviceType);
