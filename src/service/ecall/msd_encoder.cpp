#include "service/ecall/msd_encoder.h"

#include "service/ecall/bit_writer.h"
#include "service/ecall/era_data.h"
#include "util/text.h"

namespace EGTS::Msd {

namespace {

constexpr uint32_t kMaxLength = 16383;  // the longest length without fragments
constexpr uint32_t kPositionOffset = 0x80000000u;
constexpr int kDeltaOffset = 512;

// What makes the message impossible to encode; empty when nothing does.
std::string Refusal(const ECallMessage& message) {
  const uint8_t version = message.msdVersion;
  const MSDStructure& msd = message.msdStructure;
  if (version < 1 || version > 3) return StringPrintf("msdVersion %u is not 1, 2 or 3", version);
  if (msd.vehicleType < 1 || msd.vehicleType > VehicleTypeCount(version)) {
    return StringPrintf("vehicleType %u is not one of MSD version %u", msd.vehicleType, version);
  }
  if (msd.vehicleIdentificationNumber.size() != kVinLength) {
    return "vehicleIdentificationNumber does not have 17 characters";
  }
  for (const char character : msd.vehicleIdentificationNumber) {
    if (VinIndex(character) < 0) {
      return "vehicleIdentificationNumber has a character outside its alphabet";
    }
  }
  if (version == 1 && msd.vehiclePropulsionStorageType[6]) {
    return "otherStorage is not part of MSD version 1";
  }
  for (const auto* delta : {&msd.recentVehicleLocationN1, &msd.recentVehicleLocationN2}) {
    if (!*delta) {
      if (RecentLocationsMandatory(version)) return "MSD version 3 needs N1 and N2";
      continue;
    }
    for (const int value : {(*delta)->latitudeDelta, (*delta)->longitudeDelta}) {
      if (value < kMinDelta || value > kMaxDelta) return "a location delta is outside -512..511";
    }
  }
  return std::string();
}

void WriteLength(BitWriter& out, uint32_t length) {
  if (length < 128) {
    out.Write(length, 8);
  } else {
    out.Write(0x8000u | length, 16);
  }
}

void WriteStructure(BitWriter& out, const MSDStructure& msd, uint8_t version,
                    bool explicitDefaults) {
  out.WriteBit(false);  // no extension additions
  if (!RecentLocationsMandatory(version)) {
    out.WriteBit(msd.recentVehicleLocationN1.has_value());
    out.WriteBit(msd.recentVehicleLocationN2.has_value());
  }
  out.WriteBit(msd.numberOfPassengers.has_value());
  out.Write(msd.messageIdentifier, 8);
  out.WriteBit(msd.automaticActivation);
  out.WriteBit(msd.testCall);
  out.WriteBit(msd.positionCanBeTrusted);
  out.WriteBit(false);  // a root vehicle type
  out.Write(msd.vehicleType - 1u, VehicleTypeBits(version));
  for (const char character : msd.vehicleIdentificationNumber) {
    out.Write(static_cast<uint32_t>(VinIndex(character)), 6);
  }
  const unsigned kinds = PropulsionKinds(version);
  out.WriteBit(false);
  for (unsigned i = 0; i < kinds; ++i) {
    out.WriteBit(explicitDefaults || msd.vehiclePropulsionStorageType[i]);
  }
  for (unsigned i = 0; i < kinds; ++i) {
    if (explicitDefaults || msd.vehiclePropulsionStorageType[i]) {
      out.WriteBit(msd.vehiclePropulsionStorageType[i]);
    }
  }
  out.Write(msd.timestamp, 32);
  out.Write(static_cast<uint32_t>(msd.positionLatitude) + kPositionOffset, 32);
  out.Write(static_cast<uint32_t>(msd.positionLongitude) + kPositionOffset, 32);
  out.Write(msd.vehicleDirection, 8);
  for (const auto* delta : {&msd.recentVehicleLocationN1, &msd.recentVehicleLocationN2}) {
    if (!*delta) continue;
    out.Write(static_cast<uint32_t>((*delta)->latitudeDelta + kDeltaOffset), 10);
    out.Write(static_cast<uint32_t>((*delta)->longitudeDelta + kDeltaOffset), 10);
  }
  if (msd.numberOfPassengers) out.Write(*msd.numberOfPassengers, 8);
}

std::string WriteAdditionalData(BitWriter& out, const AdditionalData& additional,
                                bool explicitDefaults) {
  std::vector<uint8_t> data = additional.data;
  if (additional.era) {
    if (!additional.data.empty()) return "optionalAdditionalData holds both data and era";
    const std::string error =
        EncodeEraData(*additional.era, EraFormOf(additional.oid), explicitDefaults, data);
    if (!error.empty()) return error;
  }
  if (additional.oid.empty()) return "the oid of optionalAdditionalData has no arc";
  if (additional.oid.size() > kMaxLength || data.size() > kMaxLength) {
    return "optionalAdditionalData is too long";
  }
  WriteLength(out, static_cast<uint32_t>(additional.oid.size()));
  out.WriteOctets(additional.oid);
  WriteLength(out, static_cast<uint32_t>(data.size()));
  out.WriteOctets(data);
  return std::string();
}

}  // namespace

MsdEncoding EncodeMsd(const ECallMessage& message, EncodeOptions options) {
  MsdEncoding encoding;
  encoding.error = Refusal(message);
  if (!encoding.error.empty()) return encoding;

  BitWriter inner;
  inner.WriteBit(false);  // no extension additions
  inner.WriteBit(message.optionalAdditionalData.has_value());
  WriteStructure(inner, message.msdStructure, message.msdVersion, options.explicitDefaults);
  if (message.optionalAdditionalData) {
    encoding.error =
        WriteAdditionalData(inner, *message.optionalAdditionalData, options.explicitDefaults);
    if (!encoding.error.empty()) return encoding;
  }

  BitWriter outer;
  outer.Write(message.msdVersion, 8);
  if (message.msdVersion == 1) {
    // Version 1 continues with the MSDMessage's bits, not an octet string;
    // the version byte keeps them on octet boundaries all the same.
    outer.WriteOctets(inner.Octets());
  } else {
    if (inner.Octets().size() > kMaxLength) {
      encoding.error = "the MSDMessage is too long";
      return encoding;
    }
    WriteLength(outer, static_cast<uint32_t>(inner.Octets().size()));
    outer.WriteOctets(inner.Octets());
  }
  encoding.octets = outer.Octets();
  return encoding;
}

}  // namespace EGTS::Msd
