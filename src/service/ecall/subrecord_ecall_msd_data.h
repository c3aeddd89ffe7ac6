#pragma once
// EGTS_SR_ECALL_MSD_DATA (SRT 50, EGTS_ECALL_SERVICE): the minimum set of
// data of an emergency call, field by field. Multi-byte fields are
// big-endian. SRD:
//
//   0   1   Format Version
//   1   1   Message Identifier
//   2   1   Control Flags: bit 0 Activation Type, bit 1 Call Type,
//           bit 2 Position Confidence, bits 3-6 Vehicle Type, bit 7 kept
//   3   17  VIN
//   20  1   Veh Propulsion Storage (bits 0-5: petrol .. hydrogen)
//   21  4   Time Stamp, seconds since 1970-01-01 UTC
//   25  4   Position Latitude, milliarcseconds, 0x7FFFFFFF undefined
//   29  4   Position Longitude, milliarcseconds, 0x7FFFFFFF undefined
//   33  1   Vehicle Direction, 2-degree units, 0xFF undefined
//   --- optional tail, each field present when the SRD reaches its end ---
//   34  2   LATD n-1 (100 milliarcseconds, 0x7FFF undefined)
//   36  2   LOND n-1
//   38  2   LATD n-2 (relative to n-1)
//   40  2   LOND n-2
//   42  1   Number of Passengers, 0xFF undefined
//   43  ..  additional data, the rest of the SRD
//
// A field of the tail that the SRD left out reads as its undefined value.
// Encode writes the tail the values ask for, not the one decoded.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_ECALL_MSD_DATA : public DeclaredWith<27> {
 public:
  // Places of the declared fields; the lower-case ones are worked out.
  enum Place : std::size_t {
    kFormatVersion,
    kMessageIdentifier,
    kControlFlags,
    kActivationType,
    kCallType,
    kPositionConfidence,
    kVehicleType,
    kVIN,
    kVehPropulsionStorage,
    kTimeStamp,
    kPositionLatitude,
    kLatitude,
    kPositionLongitude,
    kLongitude,
    kVehicleDirection,
    kHeading,
    kLATD_n1,
    kLatitude_n1,
    kLOND_n1,
    kLongitude_n1,
    kLATD_n2,
    kLatitude_n2,
    kLOND_n2,
    kLongitude_n2,
    kNumberOfPassengers,
    kPassengers,
    kAdditionalData
  };

  static constexpr int32_t kUndefinedPosition = 0x7FFFFFFF;
  static constexpr int16_t kUndefinedDelta = 0x7FFF;
  static constexpr uint8_t kUndefinedDirection = 255;
  static constexpr uint8_t kUndefinedPassengers = 255;
  static constexpr uint16_t kMinLength = 34;
  static constexpr size_t kVinLength = 17;
  // Encode writes at most this many bytes of additional data.
  static constexpr size_t kMaxAdditionalData = 56;

  // Numbers 0, an empty VIN, positions, direction and the tail undefined;
  // no tail field present.
  Subrecord_ECALL_MSD_DATA();
  Subrecord_ECALL_MSD_DATA(const Subrecord_ECALL_MSD_DATA&) = default;
  Subrecord_ECALL_MSD_DATA& operator=(const Subrecord_ECALL_MSD_DATA&) = delete;
  ~Subrecord_ECALL_MSD_DATA() override = default;

  // Appends the SRD; the optional tail follows the field values, and at
  // most kMaxAdditionalData bytes of additional data are written.
  uint8_t Encode(bytestream& out) override;
  // 134 for a null srd, 139 for srl below 34.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  // The fields' lines, then the additional data as text up to its first
  // zero byte, on no line of its own.
  void Report(std::string* target) const override;
  // Counts the whole additional data, without the limit of Encode.
  uint16_t EncodedLength() const override;

  uint8_t FormatVersion() const { return static_cast<uint8_t>(Value(kFormatVersion)); }
  uint8_t MessageIdentifier() const { return static_cast<uint8_t>(Value(kMessageIdentifier)); }
  uint8_t ControlFlags() const { return static_cast<uint8_t>(Value(kControlFlags)); }
  uint8_t VehicleType() const { return static_cast<uint8_t>(Value(kVehicleType)); }
  // The 17 bytes as received (or as set), zero bytes included.
  const std::string& VIN() const { return Text(kVIN); }
  uint8_t VehPropulsionStorage() const {
    return static_cast<uint8_t>(Value(kVehPropulsionStorage));
  }
  uint32_t TimeStamp() const { return Value(kTimeStamp); }
  int32_t PositionLatitude() const { return static_cast<int32_t>(Value(kPositionLatitude)); }
  int32_t PositionLongitude() const { return static_cast<int32_t>(Value(kPositionLongitude)); }
  uint8_t VehicleDirection() const { return static_cast<uint8_t>(Value(kVehicleDirection)); }
  int16_t LATD_n1() const { return Delta(kLATD_n1); }
  int16_t LOND_n1() const { return Delta(kLOND_n1); }
  int16_t LATD_n2() const { return Delta(kLATD_n2); }
  int16_t LOND_n2() const { return Delta(kLOND_n2); }
  uint8_t NumberOfPassengers() const {
    return Present(kNumberOfPassengers) ? static_cast<uint8_t>(Value(kNumberOfPassengers))
                                        : kUndefinedPassengers;
  }
  std::span<const uint8_t> AdditionalData() const { return Bytes(kAdditionalData); }
  // The SRL that Decode was given; 0 before.
  uint16_t DecodedLength() const { return decodedLength_; }

  void SetFormatVersion(uint8_t value) { Set(kFormatVersion, value); }
  void SetMessageIdentifier(uint8_t value) { Set(kMessageIdentifier, value); }
  void SetControlFlags(uint8_t value);
  void SetVIN(std::string bytes) { SetText(kVIN, std::move(bytes)); }
  void SetVehPropulsionStorage(uint8_t value) { Set(kVehPropulsionStorage, value); }
  void SetTimeStamp(uint32_t value) { Set(kTimeStamp, value); }
  void SetPositionLatitude(int32_t value) { Set(kPositionLatitude, static_cast<uint32_t>(value)); }
  void SetPositionLongitude(int32_t value) {
    Set(kPositionLongitude, static_cast<uint32_t>(value));
  }
  void SetVehicleDirection(uint8_t value) { Set(kVehicleDirection, value); }
  // A field of the tail set is present, with its worked-out value.
  void SetLATD_n1(int16_t value) { SetTail(kLATD_n1, static_cast<uint16_t>(value)); }
  void SetLOND_n1(int16_t value) { SetTail(kLOND_n1, static_cast<uint16_t>(value)); }
  void SetLATD_n2(int16_t value) { SetTail(kLATD_n2, static_cast<uint16_t>(value)); }
  void SetLOND_n2(int16_t value) { SetTail(kLOND_n2, static_cast<uint16_t>(value)); }
  void SetNumberOfPassengers(uint8_t value) { SetTail(kNumberOfPassengers, value); }
  void SetAdditionalData(std::span<const uint8_t> bytes) {
    SetText(kAdditionalData, std::string(bytes.begin(), bytes.end()));
  }

 private:
  int16_t Delta(Place place) const {
    return Present(place) ? static_cast<int16_t>(Value(place)) : kUndefinedDelta;
  }
  // The field and the value worked out from it, which follows it.
  void SetTail(Place place, uint32_t value) {
    Set(place, value);
    Set(place + 1, 0);
  }

  uint16_t decodedLength_ = 0;
};

// Name of a vehicle type (Control Flags bits 3-6), "undefined" when unknown.
const char* VehicleTypeName(uint8_t vehicleType);

}  // namespace EGTS
