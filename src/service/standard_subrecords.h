#pragma once
// The subrecords of the standard beyond the original eleven classes, which
// the factory knows with -x: one row per service (RST), subrecord type (SRT)
// and length rule. A row found here is used before the original classes, so
// that -x decodes, for instance, DISPATCHER_IDENTITY in full.
//
// SRT 20 under TELEDATA is two subrecords: STATE_DATA when SRL is 5, else
// ACCEL_DATA.

#include <cstdint>
#include <memory>

#include "service/subrecord_class.h"

namespace EGTS {

enum class SrlRule : uint8_t { kAny, kExactly5, kNot5 };

struct StandardSubrecord {
  uint8_t rst;
  uint8_t srt;
  SrlRule rule;
  const char* name;  // "EGTS_SR_..."
  std::unique_ptr<Subrecord_Class> (*make)();
};

// The row for this service, type and length; null when there is none.
const StandardSubrecord* FindStandardSubrecord(uint8_t rst, uint16_t srt, uint16_t srl);

// True when the standard gives the service subrecords of its own (TELEDATA,
// AUTH, FIRMWARE, COMMANDS, ECALL...).
bool StandardServiceKnown(uint8_t rst);

}  // namespace EGTS
