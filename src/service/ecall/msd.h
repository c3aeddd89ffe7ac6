#pragma once
// The minimum set of data (MSD) of an emergency call as its ASN.1 module
// defines it (EN 15722 versions 1, 2 and 3; GOST 33464), with the
// ERA-GLONASS additional data. Member names are the ASN.1 names.
//
//   ECallMessage ::= SEQUENCE { msdVersion INTEGER(0..255),    -- v1 calls it id
//                               msd MSDMessage }               -- v2, v3: OCTET STRING
//                                                              -- (CONTAINING MSDMessage)
//   MSDMessage   ::= SEQUENCE { msdStructure MSDStructure,
//                               optionalAdditionalData AdditionalData OPTIONAL, ... }
//   MSDStructure ::= SEQUENCE { messageIdentifier INTEGER(0..255), control ControlType,
//                    vehicleIdentificationNumber VIN,
//                    vehiclePropulsionStorageType VehiclePropulsionStorageType,
//                    timestamp INTEGER(0..4294967295), vehicleLocation VehicleLocation,
//                    vehicleDirection INTEGER(0..255),
//                    recentVehicleLocationN1 VehicleLocationDelta OPTIONAL,
//                    recentVehicleLocationN2 VehicleLocationDelta OPTIONAL,
//                    numberOfPassengers INTEGER(0..255) OPTIONAL, ... }
//   AdditionalData ::= SEQUENCE { oid RELATIVE-OID, data OCTET STRING }
//
// Version 3 calls the passengers numberOfOccupants, has 23 vehicle types,
// and (in the one transcript of its module we have) makes N1 and N2
// mandatory. The ERA-GLONASS data (ERAAdditionalData) is carried with the
// relative OID 1.4.1 for MSD v1 and 1.4.2 for MSD v2; the v2 form adds
// coordinateSystemType.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace EGTS::Msd {

constexpr size_t kVinLength = 17;
// The VIN's permitted alphabet, in the order of the UPER index.
constexpr char kVinAlphabet[] = "0123456789ABCDEFGHJKLMNPRSTUVWXYZ";
constexpr size_t kVinAlphabetSize = sizeof kVinAlphabet - 1;  // 33

// Latitude and longitude in milliarcseconds; this value means unknown.
constexpr int32_t kUnknownPosition = 2147483647;
constexpr int32_t kMaxLatitude = 324000000;   // 90 degrees
constexpr int32_t kMaxLongitude = 648000000;  // 180 degrees
constexpr uint8_t kUnknownDirection = 255;
// A delta is INTEGER(-512..511) in units of 100 milliarcseconds.
constexpr int kMinDelta = -512;
constexpr int kMaxDelta = 511;
// EN 15722 caps the whole ECallMessage at 140 bytes (one SMS).
constexpr size_t kMaxMsdBytes = 140;
constexpr uint16_t kMaxCrashSeverity = 2047;

// Propulsion storage kinds, in ASN.1 order; version 1 has the first six.
constexpr size_t kPropulsionKinds = 7;
constexpr size_t kDiagnosticFlags = 21;
constexpr size_t kCrashFlags = 8;

struct VehicleLocationDelta {
  int16_t latitudeDelta = 0;
  int16_t longitudeDelta = 0;
  bool operator==(const VehicleLocationDelta&) const = default;
};

struct MSDStructure {
  uint8_t messageIdentifier = 0;
  // ControlType
  bool automaticActivation = false;
  bool testCall = false;
  bool positionCanBeTrusted = false;
  uint8_t vehicleType = 1;  // the enumeration's value: 1 = class M1 (UPER index + 1)
  std::string vehicleIdentificationNumber;  // 17 characters of kVinAlphabet
  // VehiclePropulsionStorageType: BOOLEAN DEFAULT FALSE each, in ASN.1 order;
  // the seventh (otherStorage) only from version 2.
  std::array<bool, kPropulsionKinds> vehiclePropulsionStorageType{};
  uint32_t timestamp = 0;  // seconds since 1970-01-01 UTC, 0 = unknown
  int32_t positionLatitude = kUnknownPosition;
  int32_t positionLongitude = kUnknownPosition;
  uint8_t vehicleDirection = kUnknownDirection;                 // 2-degree steps
  std::optional<VehicleLocationDelta> recentVehicleLocationN1;  // relative to vehicleLocation
  std::optional<VehicleLocationDelta> recentVehicleLocationN2;  // relative to N1
  std::optional<uint8_t> numberOfPassengers;                    // numberOfOccupants in version 3
  bool operator==(const MSDStructure&) const = default;
};

enum class CoordinateSystemType : uint8_t { wgs84 = 1, pz90 = 2 };

// ERAAdditionalData: every component OPTIONAL; the flags are BOOLEAN
// OPTIONAL each (absent is neither TRUE nor FALSE).
struct ERAAdditionalData {
  std::optional<uint16_t> crashSeverity;  // 0..2047
  std::optional<std::array<std::optional<bool>, kDiagnosticFlags>> diagnosticResult;
  std::optional<std::array<std::optional<bool>, kCrashFlags>> crashInfo;
  // DEFAULT wgs84; only the form of OID 1.4.2 carries it.
  CoordinateSystemType coordinateSystemType = CoordinateSystemType::wgs84;
  bool operator==(const ERAAdditionalData&) const = default;
};

// The two forms of the ERA-GLONASS additional data.
enum class EraForm : uint8_t { kNone, kMsdV1, kMsdV2 };

struct AdditionalData {
  std::vector<uint8_t> oid;  // the RELATIVE-OID's content octets ("1.4.1" is 01 04 01)
  // The data octets; empty when `era` holds them decoded (the encoder then
  // makes them from `era`).
  std::vector<uint8_t> data;
  std::optional<ERAAdditionalData> era;
  bool operator==(const AdditionalData&) const = default;
};

struct ECallMessage {
  uint8_t msdVersion = 2;
  MSDStructure msdStructure;
  std::optional<AdditionalData> optionalAdditionalData;
  bool operator==(const ECallMessage&) const = default;
};

// --- Names, described once -------------------------------------------------

// ASN.1 names of the propulsion kinds, and their report texts.
extern const std::array<const char*, kPropulsionKinds> kPropulsionNames;
extern const std::array<const char*, kPropulsionKinds> kPropulsionTexts;
extern const std::array<const char*, kDiagnosticFlags> kDiagnosticFlagNames;
extern const std::array<const char*, kCrashFlags> kCrashFlagNames;

// Number of vehicle types of a version (13, or 23 from version 3), and the
// UPER bits of its index after the extension bit (4 or 5).
unsigned VehicleTypeCount(uint8_t msdVersion);
unsigned VehicleTypeBits(uint8_t msdVersion);
// The class name of a vehicle type value (1-based); null when the version
// has none for it.
const char* VehicleTypeText(uint8_t msdVersion, uint8_t vehicleType);

unsigned PropulsionKinds(uint8_t msdVersion);       // 6 in version 1, else 7
bool RecentLocationsMandatory(uint8_t msdVersion);  // version 3
const char* PassengersName(uint8_t msdVersion);

// "1 byte", "2 bytes".
std::string ByteCountText(size_t count);

// The UPER index of a VIN character, or -1 outside the alphabet.
int VinIndex(char character);

// Which ERA-GLONASS form an OID names; kNone for any other OID.
EraForm EraFormOf(const std::vector<uint8_t>& oid);
// The OID of a form ({1, 4, 1} or {1, 4, 2}).
std::vector<uint8_t> EraOid(EraForm form);
// "1.4.1"; an empty text when the octets are no well-formed RELATIVE-OID
// (no arc, an arc left open by its last octet, an arc above 2^32 - 1).
std::string RelativeOidText(const std::vector<uint8_t>& oid);

}  // namespace EGTS::Msd
