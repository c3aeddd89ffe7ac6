#include "service/teledata/subrecord_state_data.h"

#include <iterator>
#include <new>

#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kLength = 5;
constexpr uint8_t kReservedFlags = 0xF8;

constexpr const char* kStateNames[] = {
    "passive", "ERA",         "active",          "emergency call", "emergency tracking",
    "testing", "car service", "firmware loading"};

void AddVoltage(FieldList& fields, const char* name, const char* decoded, const char* label,
                uint8_t tenths) {
  const double volts = tenths / 10.0;
  fields.push_back(Field::Unsigned(name, tenths)
                       .Label(label)
                       .Shown(std::to_string(tenths) + " (" + ScaledText(tenths, 1) + " V)"));
  fields.push_back(Field::Real(decoded, volts, 1));
}

}  // namespace

uint8_t Subrecord_STATE_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (!RequireLength(checks, srl, kLength)) return EGTS_PC_INVDATALEN;
  SrdCursor in(srd, srl);
  ST = in.U8();
  MPSV = in.U8();
  BBV = in.U8();
  IBV = in.U8();
  FLG = in.U8();
  CheckNothingLeft(in.Remaining(), checks);
  if (ST >= std::size(kStateNames)) {
    checks.push_back(StringPrintf("ST %u is not a known terminal state", unsigned{ST}));
  }
  CheckReservedBits(FLG, kReservedFlags, "FLG", checks);
  return EGTS_PC_OK;
}

void Subrecord_STATE_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

void Subrecord_STATE_DATA::Describe(FieldList& fields) const {
  const char* name = ST < std::size(kStateNames) ? kStateNames[ST] : nullptr;
  fields.push_back(Field::Unsigned("ST", ST).Label("State").Shown(CodeText(ST, name)));
  if (name) fields.push_back(Field::Text("ST_name", name));
  AddVoltage(fields, "MPSV", "main_voltage_v", "Main Supply", MPSV);
  AddVoltage(fields, "BBV", "backup_battery_voltage_v", "Backup Battery", BBV);
  AddVoltage(fields, "IBV", "internal_battery_voltage_v", "Internal Battery", IBV);
  fields.push_back(Field::Unsigned("FLG", FLG).Label("Flags").Shown(BitString(FLG, 8) + "b"));
  fields.push_back(Field::Unsigned("NMS", (FLG >> 2) & 1u).Label("  Navigation On"));
  fields.push_back(Field::Unsigned("IBU", (FLG >> 1) & 1u).Label("  External Backup Used"));
  fields.push_back(Field::Unsigned("BBU", FLG & 1u).Label("  Internal Battery Used"));
}

std::unique_ptr<Subrecord_Class> Subrecord_STATE_DATA::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_STATE_DATA(*this));
}

}  // namespace EGTS
