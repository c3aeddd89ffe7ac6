#include "service/ecall/msd_checks.h"

#include "util/text.h"

namespace EGTS::Msd {

namespace {

constexpr uint8_t kLastDirection = 179;  // 358 degrees

void CheckPosition(const char* name, int32_t value, int32_t limit, int degrees,
                   std::vector<std::string>& checks) {
  if (value == kUnknownPosition || (value >= -limit && value <= limit)) return;
  checks.push_back(StringPrintf("%s %d (%.8f degrees) is outside +-%d degrees", name, value,
                                value / 3600000.0, degrees));
}

void CheckEraVersion(const MsdDecoding& decoding, std::vector<std::string>& checks) {
  const auto& additional = decoding.message.optionalAdditionalData;
  if (!decoding.Has(MsdPart::kOptionalAdditionalData) || !additional) return;
  const EraForm form = EraFormOf(additional->oid);
  if (form == EraForm::kNone) return;
  const unsigned formVersion = form == EraForm::kMsdV1 ? 1 : 2;
  if (formVersion == decoding.message.msdVersion) return;
  checks.push_back(
      StringPrintf("oid %s is the ERA-GLONASS data of MSD version %u, not of version %u",
                   RelativeOidText(additional->oid).c_str(), formVersion,
                   unsigned{decoding.message.msdVersion}));
}

}  // namespace

void AppendVinChecks(const std::string& vin, const char* name, std::vector<std::string>& checks) {
  for (size_t i = 0; i < vin.size(); ++i) {
    if (VinIndex(vin[i]) >= 0) continue;
    const unsigned char character = static_cast<unsigned char>(vin[i]);
    const std::string shown = character >= 0x20 && character < 0x7F
                                  ? StringPrintf("'%c'", vin[i])
                                  : StringPrintf("0x%.2X", unsigned{character});
    checks.push_back(StringPrintf(
        "%s character %zu %s is outside its alphabet (I, O, Q and lower case are illegal)", name,
        i + 1, shown.c_str()));
  }
}

void AppendMsdChecks(const MsdDecoding& decoding, std::vector<std::string>& checks) {
  const MSDStructure& msd = decoding.message.msdStructure;
  if (decoding.octets > kMaxMsdBytes) {
    checks.push_back(
        StringPrintf("the MSD is %zu bytes, more than %zu", decoding.octets, kMaxMsdBytes));
  }
  if (decoding.Has(MsdPart::kMessageIdentifier) && msd.messageIdentifier == 0) {
    checks.push_back("messageIdentifier is 0 (a new eCall starts with 1)");
  }
  if (decoding.Has(MsdPart::kVehicleIdentificationNumber)) {
    AppendVinChecks(msd.vehicleIdentificationNumber, "vehicleIdentificationNumber", checks);
  }
  if (decoding.Has(MsdPart::kTimestamp) && msd.timestamp == 0) {
    checks.push_back("timestamp is 0 (unknown)");
  }
  if (decoding.Has(MsdPart::kPositionLatitude)) {
    CheckPosition("positionLatitude", msd.positionLatitude, kMaxLatitude, 90, checks);
  }
  if (decoding.Has(MsdPart::kPositionLongitude)) {
    CheckPosition("positionLongitude", msd.positionLongitude, kMaxLongitude, 180, checks);
  }
  if (decoding.Has(MsdPart::kVehicleDirection) && msd.vehicleDirection > kLastDirection &&
      msd.vehicleDirection != kUnknownDirection) {
    checks.push_back(
        StringPrintf("vehicleDirection %u is neither 0..179 (2-degree steps) nor 255 (unknown)",
                     unsigned{msd.vehicleDirection}));
  }
  CheckEraVersion(decoding, checks);
}

}  // namespace EGTS::Msd
