#include "service/auth/subrecord_service_info.h"

#include "service/subrecord_table.h"
#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kLength = 3;
constexpr uint8_t kReservedSrvp = 0x7C;

const struct {
  uint8_t sst;
  const char* name;
} kServiceStates[] = {
    {0, "in service"},
    {128, "out of service"},
    {129, "denied"},
    {130, "not configured"},
    {131, "temporarily unavailable"},
};

std::string Named(unsigned value, const char* name) {
  return name ? StringPrintf("%u (%s)", value, name) : std::to_string(value);
}

}  // namespace

const char* ServiceStateName(uint8_t sst) {
  for (const auto& row : kServiceStates) {
    if (row.sst == sst) return row.name;
  }
  return nullptr;
}

uint8_t Subrecord_SERVICE_INFO::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kLength)) {
    checks.push_back(TooShortCheck(srl, kLength));
    return EGTS_PC_INVDATALEN;
  }
  ST = in.U8();
  SST = in.U8();
  SRVP = in.U8();
  if (ServiceStateName(SST) == nullptr) {
    checks.push_back(StringPrintf("SST %u is not a known service state", unsigned{SST}));
  }
  CheckReservedBits(SRVP, kReservedSrvp, "SRVP", checks);
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_SERVICE_INFO::Describe(FieldList& fields) const {
  const char* stName = ServiceTypeName(ST);
  fields.push_back(Field::Unsigned("ST", ST).Label("Service Type").Shown(Named(ST, stName)));
  fields.push_back(Field::Text("ST_name", stName));
  const char* sstName = ServiceStateName(SST);
  fields.push_back(Field::Unsigned("SST", SST).Label("Service State").Shown(Named(SST, sstName)));
  if (sstName) fields.push_back(Field::Text("SST_name", sstName));
  fields.push_back(BitsField("SRVP", "Service Parameters", SRVP, 8));
  fields.push_back(FlagField("SRVA", SRVP, 7).Shown(SRVA() ? "1 (requested)" : "0 (supported)"));
  fields.push_back(Field::Unsigned("SRVRP", SRVRP()).Label("    SRVRP"));
}

void Subrecord_SERVICE_INFO::Report(std::string* target) const { ReportDescribed(*this, target); }

std::unique_ptr<Subrecord_Class> Subrecord_SERVICE_INFO::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
