#include "service/ecall/msd_samples.h"

#include <cstdio>

namespace msd_samples {

using namespace EGTS::Msd;

const char kVectorA[] =
    "015C0681D54970D65C3597CA0420C41464583ADE68AC52E9BB8413F149C07414FB414F6010180813E82181823230";
const char kVectorB[] =
    "02251C0680E30A51439E2955D43800800437F80A3105669023F8A71166932185B004150043C040";

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(const Bytes& bytes) {
  std::string hex;
  char pair[3];
  for (const uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", byte);
    hex += pair;
  }
  return hex;
}

ECallMessage VectorAMessage() {
  ECallMessage m;
  m.msdVersion = 1;
  MSDStructure& s = m.msdStructure;
  s.messageIdentifier = 1;
  s.automaticActivation = true;
  s.positionCanBeTrusted = true;
  s.vehicleType = 1;
  s.vehicleIdentificationNumber = "WM9VDSVDSYA123456";
  s.vehiclePropulsionStorageType[0] = true;  // gasoline
  s.vehiclePropulsionStorageType[4] = true;  // electric
  s.timestamp = 123456789;
  s.positionLatitude = 173881200;
  s.positionLongitude = 41822520;
  s.vehicleDirection = 14;
  s.recentVehicleLocationN1 = VehicleLocationDelta{10, -10};
  s.recentVehicleLocationN2 = VehicleLocationDelta{10, -20};
  s.numberOfPassengers = 2;
  m.optionalAdditionalData = AdditionalData{{0x01, 0x02, 0x7D}, {'0', '0', 'F', 'F'}, {}};
  return m;
}

ECallMessage VectorBMessage() {
  ECallMessage m;
  m.msdVersion = 2;
  MSDStructure& s = m.msdStructure;
  s.messageIdentifier = 1;
  s.automaticActivation = true;
  s.positionCanBeTrusted = true;
  s.vehicleType = 1;
  s.vehicleIdentificationNumber = "ECALLEXAMPLE02013";
  s.vehiclePropulsionStorageType[0] = true;
  s.timestamp = 1367878452;
  s.positionLatitude = 18859320;
  s.positionLongitude = 187996428;
  s.vehicleDirection = 45;
  s.recentVehicleLocationN1 = VehicleLocationDelta{0, 10};
  s.recentVehicleLocationN2 = VehicleLocationDelta{0, 30};
  s.numberOfPassengers = 2;
  return m;
}

namespace {

template <typename T>
T Between(std::mt19937& random, T low, T high) {
  return static_cast<T>(std::uniform_int_distribution<int64_t>(low, high)(random));
}

bool Coin(std::mt19937& random) { return Between(random, 0, 1) == 1; }

std::optional<VehicleLocationDelta> RandomDelta(std::mt19937& random, bool present) {
  if (!present) return std::nullopt;
  return VehicleLocationDelta{Between<int16_t>(random, kMinDelta, kMaxDelta),
                              Between<int16_t>(random, kMinDelta, kMaxDelta)};
}

template <size_t N>
std::array<std::optional<bool>, N> RandomFlags(std::mt19937& random) {
  std::array<std::optional<bool>, N> flags;
  for (auto& flag : flags) {
    if (Coin(random)) flag = Coin(random);
  }
  return flags;
}

AdditionalData RandomAdditionalData(std::mt19937& random, uint8_t version) {
  AdditionalData additional;
  if (version < 3 && Coin(random)) {
    const EraForm form = version == 1 ? EraForm::kMsdV1 : EraForm::kMsdV2;
    additional.oid = EraOid(form);
    ERAAdditionalData& era = additional.era.emplace();
    if (Coin(random)) era.crashSeverity = Between<uint16_t>(random, 0, kMaxCrashSeverity);
    if (Coin(random)) era.diagnosticResult = RandomFlags<kDiagnosticFlags>(random);
    if (Coin(random)) era.crashInfo = RandomFlags<kCrashFlags>(random);
    if (form == EraForm::kMsdV2 && Coin(random))
      era.coordinateSystemType = CoordinateSystemType::pz90;
    return additional;
  }
  // Any other relative OID, of arcs that may need several octets.
  const int arcs = Between(random, 1, 4);
  for (int i = 0; i < arcs; ++i) {
    uint32_t arc = Between<uint32_t>(random, 0, Coin(random) ? 127 : 0xFFFFFFFFu);
    Bytes octets{static_cast<uint8_t>(arc & 0x7F)};
    while (arc >>= 7) octets.insert(octets.begin(), static_cast<uint8_t>(0x80 | (arc & 0x7F)));
    additional.oid.insert(additional.oid.end(), octets.begin(), octets.end());
  }
  if (EraFormOf(additional.oid) != EraForm::kNone) additional.oid.push_back(7);
  const size_t size = Between<size_t>(random, 0, Coin(random) ? 8 : 200);
  for (size_t i = 0; i < size; ++i) additional.data.push_back(Between<uint8_t>(random, 0, 255));
  return additional;
}

}  // namespace

ECallMessage RandomMessage(std::mt19937& random) {
  ECallMessage m;
  m.msdVersion = Between<uint8_t>(random, 1, 3);
  MSDStructure& s = m.msdStructure;
  s.messageIdentifier = Between<uint8_t>(random, 0, 255);
  s.automaticActivation = Coin(random);
  s.testCall = Coin(random);
  s.positionCanBeTrusted = Coin(random);
  s.vehicleType = Between<uint8_t>(random, 1, static_cast<uint8_t>(VehicleTypeCount(m.msdVersion)));
  for (size_t i = 0; i < kVinLength; ++i) {
    s.vehicleIdentificationNumber += kVinAlphabet[Between<size_t>(random, 0, kVinAlphabetSize - 1)];
  }
  for (unsigned i = 0; i < PropulsionKinds(m.msdVersion); ++i) {
    s.vehiclePropulsionStorageType[i] = Coin(random);
  }
  s.timestamp = Between<uint32_t>(random, 0, 0xFFFFFFFFu);
  s.positionLatitude = Between<int32_t>(random, INT32_MIN, INT32_MAX);
  s.positionLongitude = Between<int32_t>(random, INT32_MIN, INT32_MAX);
  s.vehicleDirection = Between<uint8_t>(random, 0, 255);
  const bool mandatory = RecentLocationsMandatory(m.msdVersion);
  s.recentVehicleLocationN1 = RandomDelta(random, mandatory || Coin(random));
  s.recentVehicleLocationN2 = RandomDelta(random, mandatory || Coin(random));
  if (Coin(random)) s.numberOfPassengers = Between<uint8_t>(random, 0, 255);
  if (Coin(random)) m.optionalAdditionalData = RandomAdditionalData(random, m.msdVersion);
  return m;
}

}  // namespace msd_samples
