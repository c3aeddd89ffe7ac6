#include "service/ecall/msd_fields.h"

#include "service/time_field.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS::Msd {

namespace {

constexpr double kMilliarcsecondsPerDegree = 3600000.0;
constexpr int64_t kDeltaUnit = 100;  // milliarcseconds

// A position in milliarcseconds, as given and in degrees.
std::string PositionShown(int64_t position) {
  if (position == kUnknownPosition) return "0x7FFFFFFF (unknown)";
  return StringPrintf("0x%.8X (%.8f)", static_cast<uint32_t>(position),
                      position / kMilliarcsecondsPerDegree);
}

Field DegreesField(const char* name, int64_t position) {
  if (position == kUnknownPosition) return Field::Null(name);
  return Field::Real(name, position / kMilliarcsecondsPerDegree, 8);
}

Field BoolShown(const char* name, const char* label, bool value, const char* whenTrue,
                const char* whenFalse) {
  return Field::Bool(name, value)
      .Label(label)
      .Shown(StringPrintf("%u (%s)", value ? 1u : 0u, value ? whenTrue : whenFalse));
}

void DescribeControl(const MsdDecoding& d, FieldList& fields) {
  const MSDStructure& msd = d.message.msdStructure;
  if (d.Has(MsdPart::kMessageIdentifier)) {
    fields.push_back(
        Field::Unsigned("messageIdentifier", msd.messageIdentifier).Label("Message Identifier"));
  }
  if (d.Has(MsdPart::kAutomaticActivation)) {
    fields.push_back(BoolShown("automaticActivation", "Activation Type", msd.automaticActivation,
                               "automatic", "manual"));
  }
  if (d.Has(MsdPart::kTestCall)) {
    fields.push_back(BoolShown("testCall", "Call Type", msd.testCall, "test", "emergency"));
  }
  if (d.Has(MsdPart::kPositionCanBeTrusted)) {
    fields.push_back(BoolShown("positionCanBeTrusted", "Position Trusted", msd.positionCanBeTrusted,
                               "trusted", "not trusted"));
  }
  if (d.Has(MsdPart::kVehicleType)) {
    const char* name = VehicleTypeText(d.message.msdVersion, msd.vehicleType);
    fields.push_back(
        Field::Unsigned("vehicleType", msd.vehicleType)
            .Label("Vehicle Type")
            .Shown(StringPrintf("%u (%s)", unsigned{msd.vehicleType}, name ? name : "unknown")));
    fields.push_back(name ? Field::Text("vehicleType_name", name)
                          : Field::Null("vehicleType_name"));
  }
}

void DescribePropulsion(const MsdDecoding& d, FieldList& fields) {
  const auto& storage = d.message.msdStructure.vehiclePropulsionStorageType;
  const unsigned kinds = PropulsionKinds(d.message.msdVersion);
  FieldList members;
  std::string bits, names;
  for (unsigned i = 0; i < kinds; ++i) {
    members.push_back(Field::Bool(kPropulsionNames[i], storage[i]));
    bits += storage[i] ? '1' : '0';
    if (storage[i]) names += std::string(names.empty() ? "" : ", ") + kPropulsionTexts[i];
  }
  fields.push_back(Field::Object("vehiclePropulsionStorageType", std::move(members))
                       .Label("Veh Propulsion Storage")
                       .Shown(bits + " (" + (names.empty() ? "none" : names) + ")"));
}

void DescribeLocation(const MsdDecoding& d, FieldList& fields) {
  const MSDStructure& msd = d.message.msdStructure;
  if (d.Has(MsdPart::kTimestamp)) {
    fields.push_back(Field::Unsigned("timestamp", msd.timestamp)
                         .Label("Time Stamp")
                         .Shown(StringPrintf(
                             "0x%.8X (%s)", msd.timestamp,
                             msd.timestamp == 0 ? "unknown" : UnixTimeText(msd.timestamp).c_str()))
                         .UnixTime());
    fields.push_back(msd.timestamp == 0 ? Field::Null("time")
                                        : IsoTimeField("time", msd.timestamp));
  }
  if (d.Has(MsdPart::kPositionLatitude)) {
    fields.push_back(Field::Signed("positionLatitude", msd.positionLatitude)
                         .Label("Position Latitude")
                         .Shown(PositionShown(msd.positionLatitude)));
    fields.push_back(DegreesField("latitude", msd.positionLatitude));
  }
  if (d.Has(MsdPart::kPositionLongitude)) {
    fields.push_back(Field::Signed("positionLongitude", msd.positionLongitude)
                         .Label("Position Longitude")
                         .Shown(PositionShown(msd.positionLongitude)));
    fields.push_back(DegreesField("longitude", msd.positionLongitude));
  }
  if (d.Has(MsdPart::kVehicleDirection)) {
    const bool unknown = msd.vehicleDirection == kUnknownDirection;
    const unsigned heading = msd.vehicleDirection * 2u;
    fields.push_back(Field::Unsigned("vehicleDirection", msd.vehicleDirection)
                         .Label("Vehicle Direction")
                         .Shown(unknown ? std::string("255 (unknown)")
                                        : StringPrintf("%u (heading %u degrees)",
                                                       unsigned{msd.vehicleDirection}, heading)));
    fields.push_back(unknown ? Field::Null("heading") : Field::Unsigned("heading", heading));
  }
}

// One delta and the position it leads to from `base` (unknown stays
// unknown); `base` moves on to that position.
Field DeltaField(const char* name, const char* label, int16_t delta, int64_t& base) {
  if (base != kUnknownPosition) base += kDeltaUnit * delta;
  return Field::Signed(name, delta)
      .Label(label)
      .Shown(base == kUnknownPosition
                 ? StringPrintf("%d (unknown)", delta)
                 : StringPrintf("%d (%.8f)", delta, base / kMilliarcsecondsPerDegree));
}

void DescribeRecentLocations(const MsdDecoding& d, FieldList& fields) {
  const MSDStructure& msd = d.message.msdStructure;
  int64_t latitude = msd.positionLatitude;
  int64_t longitude = msd.positionLongitude;
  const struct {
    MsdPart part;
    const std::optional<VehicleLocationDelta>& delta;
    const char* name;
    const char* label;
  } recent[] = {{MsdPart::kRecentVehicleLocationN1, msd.recentVehicleLocationN1,
                 "recentVehicleLocationN1", "Recent Location N1"},
                {MsdPart::kRecentVehicleLocationN2, msd.recentVehicleLocationN2,
                 "recentVehicleLocationN2", "Recent Location N2"}};
  for (const auto& location : recent) {
    // N2 is relative to N1: without N1 its position is unknown.
    if (!d.Has(location.part) || !location.delta) {
      latitude = longitude = kUnknownPosition;
      continue;
    }
    FieldList members;
    members.push_back(
        DeltaField("latitudeDelta", "Latitude Delta", location.delta->latitudeDelta, latitude));
    members.push_back(DegreesField("latitude", latitude));
    members.push_back(
        DeltaField("longitudeDelta", "Longitude Delta", location.delta->longitudeDelta, longitude));
    members.push_back(DegreesField("longitude", longitude));
    fields.push_back(Field::Object(location.name, std::move(members)).Label(location.label));
  }
  const auto& passengers = msd.numberOfPassengers;
  if (d.Has(MsdPart::kNumberOfPassengers) && passengers) {
    const bool occupants = RecentLocationsMandatory(d.message.msdVersion);
    fields.push_back(Field::Unsigned(PassengersName(d.message.msdVersion), *passengers)
                         .Label(occupants ? "Number of Occupants" : "Number of Passengers"));
  }
}

FieldList FlagMembers(const std::optional<bool>* flags, const char* const* names, size_t count) {
  FieldList members;
  for (size_t i = 0; i < count; ++i) {
    if (flags[i]) members.push_back(Field::Bool(names[i], *flags[i]).Label(names[i]));
  }
  return members;
}

void DescribeEra(const ERAAdditionalData& era, EraForm form, FieldList& fields) {
  FieldList members;
  if (era.crashSeverity) {
    members.push_back(Field::Unsigned("crashSeverity", *era.crashSeverity).Label("Crash Severity"));
  }
  if (era.diagnosticResult) {
    members.push_back(Field::Object("diagnosticResult",
                                    FlagMembers(era.diagnosticResult->data(),
                                                kDiagnosticFlagNames.data(), kDiagnosticFlags))
                          .Label("Diagnostic Result"));
  }
  if (era.crashInfo) {
    members.push_back(Field::Object("crashInfo", FlagMembers(era.crashInfo->data(),
                                                             kCrashFlagNames.data(), kCrashFlags))
                          .Label("Crash Info"));
  }
  if (form == EraForm::kMsdV2) {
    const bool pz90 = era.coordinateSystemType == CoordinateSystemType::pz90;
    const unsigned value = static_cast<unsigned>(era.coordinateSystemType);
    members.push_back(Field::Unsigned("coordinateSystemType", value)
                          .Label("Coordinate System")
                          .Shown(StringPrintf("%u (%s)", value, pz90 ? "pz90" : "wgs84")));
    members.push_back(Field::Text("coordinateSystemType_name", pz90 ? "pz90" : "wgs84"));
  }
  fields.push_back(
      Field::Object("eraAdditionalData", std::move(members)).Label("ERA-GLONASS Data"));
}

void DescribeAdditionalData(const MsdDecoding& d, FieldList& fields) {
  const auto& additional = d.message.optionalAdditionalData;
  if (!d.Has(MsdPart::kOptionalAdditionalData) || !additional) return;
  const std::string oid = RelativeOidText(additional->oid);
  const EraForm form = EraFormOf(additional->oid);
  const char* known = form == EraForm::kMsdV1   ? " (ERA-GLONASS, MSD v1)"
                      : form == EraForm::kMsdV2 ? " (ERA-GLONASS, MSD v2)"
                                                : "";
  const std::string oidHex = HexText(additional->oid.data(), additional->oid.size());
  FieldList members;
  members.push_back(
      (oid.empty() ? Field::Null("oid") : Field::Text("oid", oid))
          .Label("OID")
          .Shown(oid.empty() ? oidHex + " (no well-formed RELATIVE-OID)" : oid + known));
  members.push_back(Field::Bytes("oid_bytes", additional->oid.data(), additional->oid.size()));
  const auto& data = d.additionalDataOctets;
  members.push_back(
      Field::Bytes("data", data.data(), data.size())
          .Label("Data")
          .Shown(ByteCountText(data.size()) + " [" + HexText(data.data(), data.size()) + "]"));
  fields.push_back(
      Field::Object("optionalAdditionalData", std::move(members)).Label("Additional Data"));
  if (additional->era) DescribeEra(*additional->era, form, fields);
}

}  // namespace

void DescribeMsd(const MsdDecoding& d, FieldList& fields) {
  if (d.Has(MsdPart::kMsdVersion)) {
    fields.push_back(Field::Unsigned("msdVersion", d.message.msdVersion).Label("MSD Version"));
  }
  if (d.Has(MsdPart::kMsdLength) && d.message.msdVersion >= 2) {
    fields.push_back(Field::Unsigned("msdLength", d.msdLength)
                         .Label("MSD Length")
                         .Shown(StringPrintf("%u bytes", d.msdLength)));
  }
  DescribeControl(d, fields);
  if (d.Has(MsdPart::kVehicleIdentificationNumber)) {
    const std::string& vin = d.message.msdStructure.vehicleIdentificationNumber;
    fields.push_back(Field::Text("vehicleIdentificationNumber", vin).Label("VIN").Shown(vin));
  }
  if (d.Has(MsdPart::kVehiclePropulsionStorageType)) DescribePropulsion(d, fields);
  DescribeLocation(d, fields);
  DescribeRecentLocations(d, fields);
  DescribeAdditionalData(d, fields);
}

}  // namespace EGTS::Msd
