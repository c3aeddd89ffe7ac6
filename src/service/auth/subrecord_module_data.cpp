#include "service/auth/subrecord_module_data.h"

#include <iterator>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kFixedLength = 11;
constexpr std::size_t kMaxTextLength = 32;

const char* ModuleTypeName(uint8_t mt) {
  static const char* const kNames[] = {nullptr, "main", "input/output", "navigation", "radio"};
  return mt < std::size(kNames) ? kNames[mt] : nullptr;
}

Field VersionField(const char* name, const char* label, uint16_t version) {
  return Field::Unsigned(name, version)
      .Label(label)
      .Shown(StringPrintf("0x%.4X (%s)", unsigned{version}, VersionText(version).c_str()));
}

}  // namespace

const char* ModuleStateName(uint8_t st) {
  if (st == 0) return "off";
  if (st == 1) return "on";
  return st > 127 ? "fault" : nullptr;
}

uint8_t Subrecord_MODULE_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kFixedLength)) {
    checks.push_back(TooShortCheck(srl, kFixedLength));
    return EGTS_PC_INVDATALEN;
  }
  MT = in.U8();
  VID = in.U32();
  FWV = in.U16();
  SWV = in.U16();
  MD = in.U8();
  ST = in.U8();
  if (ModuleStateName(ST) == nullptr) {
    checks.push_back(StringPrintf("ST %u is not a known module state", unsigned{ST}));
  }
  SRN = in.Terminated("SRN", kMaxTextLength, checks);
  DSCR = in.Terminated("DSCR", kMaxTextLength, checks);
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_MODULE_DATA::Describe(FieldList& fields) const {
  const char* mtName = ModuleTypeName(MT);
  fields.push_back(Field::Unsigned("MT", MT).Label("Module Type").Shown(
      mtName ? StringPrintf("%u (%s)", unsigned{MT}, mtName) : std::to_string(MT)));
  if (mtName) fields.push_back(Field::Text("MT_name", mtName));
  fields.push_back(Field::Unsigned("VID", VID).Label("Vendor ID"));
  fields.push_back(VersionField("FWV", "Firmware Version", FWV));
  fields.push_back(Field::Text("FWV_text", VersionText(FWV)));
  fields.push_back(VersionField("SWV", "Software Version", SWV));
  fields.push_back(Field::Text("SWV_text", VersionText(SWV)));
  fields.push_back(Field::Unsigned("MD", MD).Label("Modification"));
  const char* stName = ModuleStateName(ST);
  fields.push_back(Field::Unsigned("ST", ST).Label("State").Shown(
      stName ? StringPrintf("%u (%s)", unsigned{ST}, stName) : std::to_string(ST)));
  if (stName) fields.push_back(Field::Text("ST_name", stName));
  fields.push_back(Field::Text("SRN", TextUpToNul(SRN)).Label("Serial Number"));
  fields.push_back(Field::Text("DSCR", TextUpToNul(DSCR)).Label("Description"));
}

void Subrecord_MODULE_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

std::unique_ptr<Subrecord_Class> Subrecord_MODULE_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
