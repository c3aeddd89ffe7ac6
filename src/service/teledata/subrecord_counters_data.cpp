#include "service/teledata/subrecord_counters_data.h"

#include <new>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_COUNTERS_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, 1)) return EGTS_PC_INVDATALEN;
  CFE = srd[0];
  if (!RequireLength(checks, srl, 1 + 3 * CountBits(CFE))) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd + 1, srl - 1u);
  for (unsigned n = 0; n < 8; ++n) {
    if (CFE & (1u << n)) CN[n] = in.U24();
  }
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_COUNTERS_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

void Subrecord_COUNTERS_DATA::Describe(FieldList& fields) const {
  fields.push_back(
      Field::Unsigned("CFE", CFE).Label("Counters Exist").Shown(BitString(CFE, 8) + "b"));
  for (unsigned n = 0; n < 8; ++n) {
    if (!(CFE & (1u << n))) continue;
    fields.push_back(Field::Unsigned("CN" + std::to_string(n + 1), CN[n])
                         .Label("Counter " + std::to_string(n + 1)));
  }
}

std::unique_ptr<Subrecord_Class> Subrecord_COUNTERS_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_COUNTERS_DATA(*this));
}

}  // namespace EGTS
