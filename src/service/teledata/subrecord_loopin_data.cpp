#include "service/teledata/subrecord_loopin_data.h"

#include <new>

#include "service/teledata/loop_state.h"
#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_LOOPIN_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 1)) return EGTS_PC_INVDATALEN;
  LIFE = srd[0];
  const unsigned loops = CountBits(LIFE);
  const std::size_t stateBytes = (loops + 1) / 2;
  if (!RequireLength(checks, srl, 1 + stateBytes)) return EGTS_PC_INVDATALEN;
  unsigned half = 0;  // index of the next 4-bit state after LIFE
  for (unsigned n = 0; n < 8; ++n) {
    if (!(LIFE & (1u << n))) continue;
    const uint8_t byte = srd[1 + half / 2];
    LIS[n] = (half % 2 == 0) ? (byte & 0x0F) : (byte >> 4);
    ++half;
    if (LoopStateName(LIS[n]) == nullptr) {
      checks.push_back(StringPrintf("LIS%u %u is not a known loop state", n + 1, unsigned{LIS[n]}));
    }
  }
  if (loops % 2 == 1) CheckReservedBits(srd[stateBytes], 0xF0, "the last loop state byte", checks);
  CheckNothingLeft(srl - 1 - stateBytes, checks);
  return EGTS_PC_OK;
}

void Subrecord_LOOPIN_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

void Subrecord_LOOPIN_DATA::Describe(FieldList& fields) const {
  fields.push_back(
      Field::Unsigned("LIFE", LIFE).Label("Loops Reported").Shown(BitString(LIFE, 8) + "b"));
  for (unsigned n = 0; n < 8; ++n) {
    if (!(LIFE & (1u << n))) continue;
    const char* name = LoopStateName(LIS[n]);
    fields.push_back(Field::Unsigned("LIS" + std::to_string(n + 1), LIS[n])
                         .Label("Loop " + std::to_string(n + 1))
                         .Shown(CodeText(LIS[n], name)));
    if (name) fields.push_back(Field::Text("LIS" + std::to_string(n + 1) + "_name", name));
  }
}

std::unique_ptr<Subrecord_Class> Subrecord_LOOPIN_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_LOOPIN_DATA(*this));
}

}  // namespace EGTS
