#include "service/teledata/subrecord_liquid_level_sensor.h"

#include <new>

#include "service/srd_cursor.h"
#include "service/value_text.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kHeadLength = 3;
constexpr std::size_t kValueLength = 4;
constexpr uint8_t kReservedFlags = 0x80;
constexpr uint8_t kUndefinedUnit = 3;

constexpr const char* kUnitNames[] = {"raw value", "per cent of the tank", "litres in 0.1 l"};

}  // namespace

uint8_t Subrecord_LIQUID_LEVEL_SENSOR::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  const bool raw = srl > 0 && (srd[0] & 0x08) != 0;
  if (!RequireLength(checks, srl, kHeadLength + (raw ? 0 : kValueLength))) {
    return EGTS_PC_INVDATALEN;
  }
  SrdCursor in(srd, srl);
  FLG = in.U8();
  MADDR = in.U16();
  if (raw) {
    rawLLSD = in.Rest();
    if (rawLLSD.empty()) checks.push_back("RDF is set but no raw data follows");
  } else {
    LLSD = in.U32();
  }
  CheckNothingLeft(in.Remaining(), checks);
  CheckReservedBits(FLG, kReservedFlags, "FLG", checks);
  if (LLSVU() == kUndefinedUnit) checks.push_back("LLSVU 11 is not a defined unit");
  return EGTS_PC_OK;
}

void Subrecord_LIQUID_LEVEL_SENSOR::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

void Subrecord_LIQUID_LEVEL_SENSOR::Describe(FieldList& fields) const {
  const uint8_t unit = LLSVU();
  const char* unitName = unit < kUndefinedUnit ? kUnitNames[unit] : nullptr;
  fields.push_back(Field::Unsigned("FLG", FLG).Label("Flags").Shown(BitString(FLG, 8) + "b"));
  fields.push_back(Field::Unsigned("LLSEF", LLSEF()).Label("  Sensor Error"));
  fields.push_back(
      Field::Unsigned("LLSVU", unit)
          .Label("  Value Unit")
          .Shown(BitString(unit, 2) + "b" + (unitName ? std::string(" (") + unitName + ")" : "")));
  if (unitName) fields.push_back(Field::Text("LLSVU_name", unitName));
  fields.push_back(Field::Unsigned("RDF", RDF()).Label("  Raw Data"));
  fields.push_back(Field::Unsigned("LLSN", LLSN()).Label("  Sensor Number"));
  fields.push_back(Field::Unsigned("MADDR", MADDR).Label("Module Address"));
  if (RDF()) {
    fields.push_back(Field::Bytes("LLSD", rawLLSD.data(), rawLLSD.size()).Label("Sensor Data"));
    return;
  }
  if (unit == 1) {
    fields.push_back(
        Field::Unsigned("LLSD", LLSD).Label("Level").Shown(std::to_string(LLSD) + " %"));
    fields.push_back(Field::Unsigned("level_percent", LLSD));
  } else if (unit == 2) {
    const double litres = LLSD / 10.0;
    fields.push_back(Field::Unsigned("LLSD", LLSD)
                         .Label("Level")
                         .Shown(std::to_string(LLSD) + " (" + ScaledText(LLSD, 1) + " l)"));
    fields.push_back(Field::Real("level_l", litres, 1));
  } else {
    fields.push_back(Field::Unsigned("LLSD", LLSD).Label("Level"));
  }
}

std::unique_ptr<Subrecord_Class> Subrecord_LIQUID_LEVEL_SENSOR::Clone() const {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) Subrecord_LIQUID_LEVEL_SENSOR(*this));
}

}  // namespace EGTS
