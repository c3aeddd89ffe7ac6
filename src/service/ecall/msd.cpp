#include "service/ecall/msd.h"

#include <cstring>

#include "service/ecall/subrecord_ecall_msd_data.h"

namespace EGTS::Msd {

const std::array<const char*, kPropulsionKinds> kPropulsionNames = {
    "gasolineTankPresent",   "dieselTankPresent", "compressedNaturalGas", "liquidPropaneGas",
    "electricEnergyStorage", "hydrogenStorage",   "otherStorage"};

const std::array<const char*, kPropulsionKinds> kPropulsionTexts = {
    "gasoline", "diesel", "CNG", "LPG", "electric", "hydrogen", "other"};

const std::array<const char*, kDiagnosticFlags> kDiagnosticFlagNames = {
    "micConnectionFailure",
    "micFailure",
    "rightSpeakerFailure",
    "leftSpeakerFailure",
    "speakersFailure",
    "ignitionLineFailure",
    "uimFailure",
    "statusIndicatorFailure",
    "batteryFailure",
    "batteryVoltageLow",
    "crashSensorFailure",
    "firmwareImageCorruption",
    "commModuleInterfaceFailure",
    "gnssReceiverFailure",
    "raimProblem",
    "gnssAntennaFailure",
    "commModuleFailure",
    "eventsMemoryOverflow",
    "crashProfileMemoryOverflow",
    "otherCriticalFailures",
    "otherNotCriticalFailures"};

const std::array<const char*, kCrashFlags> kCrashFlagNames = {
    "crashFront",    "crashLeft", "crashRight",       "crashRear",
    "crashRollover", "crashSide", "crashFrontOrSide", "crashAnotherType"};

namespace {

constexpr unsigned kVehicleTypesV1 = 13;  // M1 .. L7e
constexpr unsigned kVehicleTypesV3 = 23;  // and O, R, S, T, G, SA .. SD, other

// Version 3's categories after L7e (values 14 .. 23).
constexpr const char* kVehicleTypeTextsV3[] = {
    "trailer (Category O)",           "agricultural trailer (Category R)",
    "towed equipment (Category S)",   "agricultural tractor (Category T)",
    "off-road vehicle (Category G)",  "motor caravan (Category SA)",
    "armoured vehicle (Category SB)", "ambulance (Category SC)",
    "hearse (Category SD)",           "other vehicle category"};

bool IsVersion3(uint8_t msdVersion) { return msdVersion >= 3; }

}  // namespace

unsigned VehicleTypeCount(uint8_t msdVersion) {
  return IsVersion3(msdVersion) ? kVehicleTypesV3 : kVehicleTypesV1;
}

unsigned VehicleTypeBits(uint8_t msdVersion) { return IsVersion3(msdVersion) ? 5 : 4; }

const char* VehicleTypeText(uint8_t msdVersion, uint8_t vehicleType) {
  if (vehicleType == 0 || vehicleType > VehicleTypeCount(msdVersion)) return nullptr;
  // Values 1 .. 13 name the same classes as ECALL_MSD_DATA's vehicle types.
  if (vehicleType <= kVehicleTypesV1) return VehicleTypeName(vehicleType);
  return kVehicleTypeTextsV3[vehicleType - kVehicleTypesV1 - 1];
}

unsigned PropulsionKinds(uint8_t msdVersion) { return msdVersion == 1 ? 6 : 7; }

bool RecentLocationsMandatory(uint8_t msdVersion) { return IsVersion3(msdVersion); }

const char* PassengersName(uint8_t msdVersion) {
  return IsVersion3(msdVersion) ? "numberOfOccupants" : "numberOfPassengers";
}

std::string ByteCountText(size_t count) {
  return std::to_string(count) + (count == 1 ? " byte" : " bytes");
}

int VinIndex(char character) {
  if (character == '\0') return -1;
  const char* found = std::strchr(kVinAlphabet, character);
  return found == nullptr ? -1 : static_cast<int>(found - kVinAlphabet);
}

EraForm EraFormOf(const std::vector<uint8_t>& oid) {
  if (oid == EraOid(EraForm::kMsdV1)) return EraForm::kMsdV1;
  if (oid == EraOid(EraForm::kMsdV2)) return EraForm::kMsdV2;
  return EraForm::kNone;
}

std::vector<uint8_t> EraOid(EraForm form) {
  switch (form) {
    case EraForm::kMsdV1:
      return {1, 4, 1};
    case EraForm::kMsdV2:
      return {1, 4, 2};
    case EraForm::kNone:
      break;
  }
  return {};
}

std::string RelativeOidText(const std::vector<uint8_t>& oid) {
  std::string text;
  uint64_t arc = 0;
  bool open = false;
  for (const uint8_t octet : oid) {
    arc = (arc << 7) | (octet & 0x7Fu);
    if (arc > 0xFFFFFFFFu) return std::string();
    open = (octet & 0x80) != 0;
    if (open) continue;
    if (!text.empty()) text += '.';
    text += std::to_string(arc);
    arc = 0;
  }
  return open ? std::string() : text;
}

}  // namespace EGTS::Msd
