#include "service/ecall/msd_comparison.h"

#include <algorithm>
#include <optional>

#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"
#include "service/subrecord_types.h"

namespace EGTS::Msd {

namespace {

// Propulsion kinds that ECALL_MSD_DATA has a bit for (bits 0-5 in ASN.1
// order); otherStorage has none.
constexpr unsigned kComparedPropulsionKinds = 6;

std::string Number(int64_t value) { return std::to_string(value); }

std::string Optional(const std::optional<int64_t>& value) {
  return value ? Number(*value) : std::string("absent");
}

std::string PropulsionText(const std::array<bool, kPropulsionKinds>& storage) {
  std::string names;
  for (unsigned i = 0; i < kComparedPropulsionKinds; ++i) {
    if (storage[i]) names += std::string(names.empty() ? "" : ", ") + kPropulsionTexts[i];
  }
  return names.empty() ? "none" : names;
}

// ECALL_MSD_DATA's optional delta: absent where its SRL ends before it or
// it holds the undefined value.
std::optional<int64_t> FixedDelta(const Subrecord_ECALL_MSD_DATA& f, int16_t delta, uint16_t end) {
  if (f.DecodedLength() < end || delta == Subrecord_ECALL_MSD_DATA::kUndefinedDelta) {
    return std::nullopt;
  }
  return delta;
}

std::optional<int64_t> RawDelta(const std::optional<VehicleLocationDelta>& delta, bool latitude) {
  if (!delta) return std::nullopt;
  return latitude ? delta->latitudeDelta : delta->longitudeDelta;
}

struct Comparison {
  MsdPart part;
  const char* name;
  std::string fixed;  // ECALL_MSD_DATA's value
  std::string raw;    // RAW_MSD_DATA's value
};

std::vector<Comparison> Comparisons(const Subrecord_ECALL_MSD_DATA& f, const MSDStructure& m) {
  std::array<bool, kPropulsionKinds> fixedStorage{};
  for (unsigned i = 0; i < kComparedPropulsionKinds; ++i) {
    fixedStorage[i] = (f.VehPropulsionStorage() >> i) & 1u;
  }
  const std::string fixedVin(f.VIN().begin(), std::find(f.VIN().begin(), f.VIN().end(), 0));
  const bool fixedPassengers =
      f.DecodedLength() >= 43 &&
      f.NumberOfPassengers() != Subrecord_ECALL_MSD_DATA::kUndefinedPassengers;
  return {
      {MsdPart::kMessageIdentifier, "messageIdentifier", Number(f.MessageIdentifier()),
       Number(m.messageIdentifier)},
      {MsdPart::kAutomaticActivation, "automaticActivation", Number(f.ControlFlags() & 1u),
       Number(m.automaticActivation)},
      {MsdPart::kTestCall, "testCall", Number((f.ControlFlags() >> 1) & 1u), Number(m.testCall)},
      {MsdPart::kPositionCanBeTrusted, "positionCanBeTrusted", Number((f.ControlFlags() >> 2) & 1u),
       Number(m.positionCanBeTrusted)},
      {MsdPart::kVehicleType, "vehicleType", Number(f.VehicleType()), Number(m.vehicleType)},
      {MsdPart::kVehicleIdentificationNumber, "vehicleIdentificationNumber", fixedVin,
       m.vehicleIdentificationNumber},
      {MsdPart::kVehiclePropulsionStorageType, "vehiclePropulsionStorageType",
       PropulsionText(fixedStorage), PropulsionText(m.vehiclePropulsionStorageType)},
      {MsdPart::kTimestamp, "timestamp", Number(f.TimeStamp()), Number(m.timestamp)},
      {MsdPart::kPositionLatitude, "positionLatitude", Number(f.PositionLatitude()),
       Number(m.positionLatitude)},
      {MsdPart::kPositionLongitude, "positionLongitude", Number(f.PositionLongitude()),
       Number(m.positionLongitude)},
      {MsdPart::kVehicleDirection, "vehicleDirection", Number(f.VehicleDirection()),
       Number(m.vehicleDirection)},
      {MsdPart::kRecentVehicleLocationN1, "recentVehicleLocationN1 latitudeDelta",
       Optional(FixedDelta(f, f.LATD_n1(), 36)),
       Optional(RawDelta(m.recentVehicleLocationN1, true))},
      {MsdPart::kRecentVehicleLocationN1, "recentVehicleLocationN1 longitudeDelta",
       Optional(FixedDelta(f, f.LOND_n1(), 38)),
       Optional(RawDelta(m.recentVehicleLocationN1, false))},
      {MsdPart::kRecentVehicleLocationN2, "recentVehicleLocationN2 latitudeDelta",
       Optional(FixedDelta(f, f.LATD_n2(), 40)),
       Optional(RawDelta(m.recentVehicleLocationN2, true))},
      {MsdPart::kRecentVehicleLocationN2, "recentVehicleLocationN2 longitudeDelta",
       Optional(FixedDelta(f, f.LOND_n2(), 42)),
       Optional(RawDelta(m.recentVehicleLocationN2, false))},
      {MsdPart::kNumberOfPassengers, "numberOfPassengers",
       fixedPassengers ? Number(f.NumberOfPassengers()) : "absent",
       Optional(m.numberOfPassengers ? std::optional<int64_t>(*m.numberOfPassengers)
                                     : std::nullopt)},
  };
}

template <typename T>
T* ObjectOf(Subrecord_Entry& entry) {
  return entry.object ? dynamic_cast<T*>(entry.object.get()) : nullptr;
}

}  // namespace

void AppendMsdDifferences(const Subrecord_ECALL_MSD_DATA& fields, const MsdDecoding& raw,
                          std::vector<std::string>& checks) {
  for (const Comparison& c : Comparisons(fields, raw.message.msdStructure)) {
    if (!raw.Has(c.part) || c.fixed == c.raw) continue;
    const char* name =
        c.part == MsdPart::kNumberOfPassengers ? PassengersName(raw.message.msdVersion) : c.name;
    checks.push_back("ECALL_MSD_DATA and RAW_MSD_DATA differ in " + std::string(name) + ": " +
                     c.fixed + " against " + c.raw);
  }
}

void CompareMsdSubrecords(Packet& packet) {
  const Subrecord_ECALL_MSD_DATA* fixed = nullptr;
  for (Record& record : packet.records) {
    for (Subrecord_Entry& entry : record.subrecords) {
      if (fixed == nullptr && entry.SRT == EGTS_SR_ECALL_MSD_DATA) {
        fixed = ObjectOf<Subrecord_ECALL_MSD_DATA>(entry);
      }
    }
  }
  if (fixed == nullptr) return;
  for (Record& record : packet.records) {
    for (Subrecord_Entry& entry : record.subrecords) {
      auto* raw = ObjectOf<Subrecord_ECALL_RAW_MSD_DATA_Decoded>(entry);
      if (raw != nullptr && raw->msd) AppendMsdDifferences(*fixed, *raw->msd, raw->checks);
    }
  }
}

}  // namespace EGTS::Msd
