#include "service/auth/subrecord_vehicle_data.h"

#include <iterator>

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kVinLength = 17;
constexpr std::size_t kLength = kVinLength + 8;
constexpr uint32_t kClassMask = 0x1F;
constexpr uint32_t kPropulsionBits = 0x3F;

const char* const kClassNames[] = {nullptr, "M1",  "M2",  "M3",  "N1",  "N2",  "N3",
                                   "L1e",   "L2e", "L3e", "L4e", "L5e", "L6e", "L7e"};
const char* const kPropulsionNames[] = {"petrol", "diesel", "CNG", "LPG", "electric", "hydrogen"};

const char* ClassName(uint32_t vht) {
  const uint32_t vehicleClass = vht & kClassMask;
  return vehicleClass < std::size(kClassNames) ? kClassNames[vehicleClass] : nullptr;
}

std::string PropulsionText(uint32_t vpst) {
  std::string text;
  for (unsigned bit = 0; bit < std::size(kPropulsionNames); ++bit) {
    if (vpst & (1u << bit)) text += (text.empty() ? "" : ", ") + std::string(kPropulsionNames[bit]);
  }
  return text;
}

}  // namespace

uint8_t Subrecord_VEHICLE_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kLength)) {
    checks.push_back(TooShortCheck(srl, kLength));
    return EGTS_PC_INVDATALEN;
  }
  VIN = in.Raw(kVinLength);
  VHT = in.U32();
  VPST = in.U32();
  const uint32_t vehicleClass = VHT & kClassMask;
  if (vehicleClass != 0 && ClassName(VHT) == nullptr) {
    checks.push_back(StringPrintf("vehicle class %u of VHT is not known", vehicleClass));
  }
  CheckReservedBits(VHT, ~kClassMask, "VHT", checks);
  CheckReservedBits(VPST, ~kPropulsionBits, "VPST", checks);
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_VEHICLE_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Text("VIN", TextUpToNul(VIN)).Label("VIN"));
  const char* className = ClassName(VHT);
  fields.push_back(Field::Unsigned("VHT", VHT).Label("Vehicle Type").Shown(
      className ? StringPrintf("%u (%s)", VHT, className) : std::to_string(VHT)));
  if (className) fields.push_back(Field::Text("VHT_name", className));
  const std::string propulsion = PropulsionText(VPST);
  fields.push_back(Field::Unsigned("VPST", VPST).Label("Propulsion Storage").Shown(
      BitString(VPST, VPST > 0xFF ? 32 : 8) + "b" + (propulsion.empty() ? "" : " (" + propulsion + ")")));
  if (!propulsion.empty()) fields.push_back(Field::Text("VPST_name", propulsion));
}

void Subrecord_VEHICLE_DATA::Report(std::string* target) const { ReportDescribed(*this, target); }

std::unique_ptr<Subrecord_Class> Subrecord_VEHICLE_DATA::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
