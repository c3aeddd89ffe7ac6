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

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_ECALL_MSD_DATA : public Subrecord_Class {
 public:
  static constexpr int32_t kUndefinedPosition = 0x7FFFFFFF;
  static constexpr int16_t kUndefinedDelta = 0x7FFF;
  static constexpr uint8_t kUndefinedDirection = 255;
  static constexpr uint8_t kUndefinedPassengers = 255;
  static constexpr uint16_t kMinLength = 34;
  static constexpr size_t kVinLength = 17;
  // Encode writes at most this many bytes of additional data.
  static constexpr size_t kMaxAdditionalData = 56;

  uint8_t FormatVersion = 0;
  uint8_t MessageIdentifier = 0;
  uint8_t ControlFlags = 0;
  std::vector<uint8_t> VIN;
  uint8_t VehPropulsionStorage = 0;
  uint32_t TimeStamp = 0;
  int32_t PositionLatitude = kUndefinedPosition;
  int32_t PositionLongitude = kUndefinedPosition;
  uint8_t VehicleDirection = kUndefinedDirection;
  int16_t LATD_n1 = kUndefinedDelta;
  int16_t LOND_n1 = kUndefinedDelta;
  int16_t LATD_n2 = kUndefinedDelta;
  int16_t LOND_n2 = kUndefinedDelta;
  uint8_t NumberOfPassengers = kUndefinedPassengers;
  std::vector<uint8_t> AdditionalData;
  // The SRL that Decode was given; the report shows the optional lines
  // that this length covers.
  uint16_t DecodedLength = 0;

  Subrecord_ECALL_MSD_DATA() = default;
  Subrecord_ECALL_MSD_DATA(const Subrecord_ECALL_MSD_DATA&) = default;
  Subrecord_ECALL_MSD_DATA& operator=(const Subrecord_ECALL_MSD_DATA&) = default;
  ~Subrecord_ECALL_MSD_DATA() override = default;

  // Appends the SRD; the optional tail follows the field values, and at
  // most kMaxAdditionalData bytes of additional data are written.
  uint8_t Encode(bytestream& out) override;
  // 134 for a null srd, 139 for srl below 34.
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  // Counts the whole additional data, without the limit of Encode.
  uint16_t EncodedLength() const override;

  uint8_t VehicleType() const { return static_cast<uint8_t>((ControlFlags >> 3) & 0x0F); }
};

// Name of a vehicle type (Control Flags bits 3-6), "undefined" when unknown.
const char* VehicleTypeName(uint8_t vehicleType);

}  // namespace EGTS
