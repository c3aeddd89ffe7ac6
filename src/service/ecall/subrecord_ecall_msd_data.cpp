#include "service/ecall/subrecord_ecall_msd_data.h"

#include <algorithm>
#include <iterator>

#include "service/time_field.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace EGTS {

namespace {

void AppendBE16(bytestream& out, uint16_t value) {
  out.AppendByte(static_cast<uint8_t>(value >> 8));
  out.AppendByte(static_cast<uint8_t>(value & 0xFF));
}

void AppendBE32(bytestream& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.AppendByte(static_cast<uint8_t>((value >> shift) & 0xFF));
  }
}

// Text of a byte string up to its first zero byte.
std::string TextUpToZero(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), std::find(bytes.begin(), bytes.end(), 0));
}

// Base position moved by a delta in 100-milliarcsecond units, in degrees.
// The sum wraps like 32-bit signed arithmetic; it is done in 64 bits so
// that an out-of-range sum is not undefined behaviour.
double DeltaDegrees(int32_t base, int32_t deltaSum) {
  const int64_t sum = static_cast<int64_t>(base) + 100 * static_cast<int64_t>(deltaSum);
  return static_cast<int32_t>(static_cast<uint32_t>(sum)) / 3600000.0;
}

std::string PositionText(int32_t position) {
  if (position == Subrecord_ECALL_MSD_DATA::kUndefinedPosition) {
    return StringPrintf("0x%.8X (undefined)", 0x7FFFFFFFu);
  }
  return StringPrintf("0x%.8X (%.8lf)", static_cast<uint32_t>(position),
                      position / 3600000.0);
}

// One delta line; label is one of "LATD n-1", "LOND n-1", "LATD n-2",
// "LOND n-2" (all of the same width).
std::string DeltaLine(const char* label, int16_t delta, bool undefined, int32_t base,
                      int32_t deltaSum) {
  if (undefined) {
    return StringPrintf("       %s               - 0x%.4X  (undefined)\n", label,
                        static_cast<unsigned>(static_cast<uint16_t>(delta)));
  }
  return StringPrintf("       %s               - %d (%.8lf)\n", label,
                      static_cast<int>(delta), DeltaDegrees(base, deltaSum));
}

// Kinds of propulsion storage, in the order the report lists them.
constexpr struct {
  uint8_t bit;
  const char* text;
} kPropulsionKinds[] = {{0x20, "hydrogen"}, {0x10, "electric >42V and 100Ah"},
                        {0x08, "LPG"},      {0x04, "CNG"},
                        {0x02, "diesel"},   {0x01, "petrol"}};

std::string PropulsionText(uint8_t storage) {
  std::string text;
  for (const auto& kind : kPropulsionKinds) {
    if (storage & kind.bit) text += std::string(kind.text) + ", ";
  }
  if (text.size() < 2) return "undefined";
  text.resize(text.size() - 2);
  return text;
}

Field PropulsionNames(uint8_t storage) {
  FieldList names;
  for (const auto& kind : kPropulsionKinds) {
    if (storage & kind.bit) names.push_back(Field::Text("", kind.text));
  }
  return Field::Array("propulsion", std::move(names));
}

Field PositionField(std::string name, int32_t position) {
  if (position == Subrecord_ECALL_MSD_DATA::kUndefinedPosition) return Field::Null(std::move(name));
  return Field::Real(std::move(name), position / 3600000.0, 8);
}

// A delta and the position it leads to, null where the report says
// "undefined".
void AppendDelta(FieldList& fields, const char* rawName, const char* name, int16_t delta,
                 bool undefined, int32_t base, int32_t deltaSum) {
  fields.push_back(Field::Signed(rawName, delta));
  fields.push_back(undefined ? Field::Null(name)
                             : Field::Real(name, DeltaDegrees(base, deltaSum), 8));
}

Field CodeNameField(std::string name, const char* text) {
  return Field::Text(std::move(name), text);
}

std::string TimeText(uint32_t timeStamp) {
  UtcDateTime dt;
  if (!ToUtcDateTime(timeStamp, dt)) return "ERROR: incorrect DateTime value";
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u GMT", dt.day, dt.month, dt.year,
                      dt.hour, dt.minute, dt.second);
}

}  // namespace

const char* VehicleTypeName(uint8_t vehicleType) {
  static const char* const kNames[] = {
      "undefined",
      "passenger car (Class M1)",
      "bus (Class M2)",
      "bus (Class M3)",
      "truck (Class N1)",
      "heavy truck (Class N2)",
      "heavy truck (Class N3)",
      "motorcycle (Class L1e)",
      "motorcycle (Class L2e)",
      "motorcycle (Class L3e)",
      "motorcycle (Class L4e)",
      "motorcycle (Class L5e)",
      "motorcycle (Class L6e)",
      "motorcycle (Class L7e)"};
  return vehicleType < std::size(kNames) ? kNames[vehicleType] : "undefined";
}

uint8_t Subrecord_ECALL_MSD_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kMinLength) return EGTS_PC_INVDATALEN;

  FormatVersion = srd[0];
  MessageIdentifier = srd[1];
  ControlFlags = srd[2];
  VIN.assign(srd + 3, srd + 3 + kVinLength);
  VehPropulsionStorage = srd[20];
  TimeStamp = ReadU32BigEndian(srd + 21);
  PositionLatitude = static_cast<int32_t>(ReadU32BigEndian(srd + 25));
  PositionLongitude = static_cast<int32_t>(ReadU32BigEndian(srd + 29));
  VehicleDirection = srd[33];

  if (srl >= 36) LATD_n1 = static_cast<int16_t>(ReadU16BigEndian(srd + 34));
  if (srl >= 38) LOND_n1 = static_cast<int16_t>(ReadU16BigEndian(srd + 36));
  if (srl >= 40) LATD_n2 = static_cast<int16_t>(ReadU16BigEndian(srd + 38));
  if (srl >= 42) LOND_n2 = static_cast<int16_t>(ReadU16BigEndian(srd + 40));
  if (srl >= 43) NumberOfPassengers = srd[42];
  if (srl >= 44) AdditionalData.assign(srd + 43, srd + srl);

  DecodedLength = srl;
  return EGTS_PC_OK;
}

uint8_t Subrecord_ECALL_MSD_DATA::Encode(bytestream& out) {
  out.AppendByte(FormatVersion);
  out.AppendByte(MessageIdentifier);
  out.AppendByte(ControlFlags);
  uint8_t vin[kVinLength] = {};
  std::copy_n(VIN.begin(), std::min(VIN.size(), kVinLength), vin);
  out.WriteBlock(vin, static_cast<uint16_t>(kVinLength));
  out.AppendByte(VehPropulsionStorage);
  AppendBE32(out, TimeStamp);
  AppendBE32(out, static_cast<uint32_t>(PositionLatitude));
  AppendBE32(out, static_cast<uint32_t>(PositionLongitude));
  out.AppendByte(VehicleDirection);

  // Number of optional fields (deltas, then passengers) to write: up to the
  // last one holding a defined value, or all of them before additional data.
  int optional = 0;
  if (!AdditionalData.empty() || NumberOfPassengers != kUndefinedPassengers) {
    optional = 5;
  } else if (LOND_n2 != kUndefinedDelta) {
    optional = 4;
  } else if (LATD_n2 != kUndefinedDelta) {
    optional = 3;
  } else if (LOND_n1 != kUndefinedDelta) {
    optional = 2;
  } else if (LATD_n1 != kUndefinedDelta) {
    optional = 1;
  }
  const int16_t deltas[] = {LATD_n1, LOND_n1, LATD_n2, LOND_n2};
  for (int i = 0; i < optional && i < 4; ++i) {
    AppendBE16(out, static_cast<uint16_t>(deltas[i]));
  }
  if (optional == 5) out.AppendByte(NumberOfPassengers);
  if (!AdditionalData.empty()) {
    out.WriteBlock(AdditionalData.data(),
                   static_cast<uint16_t>(std::min(AdditionalData.size(), kMaxAdditionalData)));
  }
  return EGTS_PC_OK;
}

uint16_t Subrecord_ECALL_MSD_DATA::EncodedLength() const {
  if (!AdditionalData.empty()) return static_cast<uint16_t>(43 + AdditionalData.size());
  if (NumberOfPassengers != kUndefinedPassengers) return 43;
  if (LOND_n2 != kUndefinedDelta) return 42;
  if (LATD_n2 != kUndefinedDelta) return 40;
  if (LOND_n1 != kUndefinedDelta) return 38;
  if (LATD_n1 != kUndefinedDelta) return 36;
  return 34;
}

void Subrecord_ECALL_MSD_DATA::Describe(FieldList& fields) const {
  const bool latUndefined = PositionLatitude == kUndefinedPosition;
  const bool lonUndefined = PositionLongitude == kUndefinedPosition;
  fields.push_back(Field::Unsigned("FORMAT_VERSION", FormatVersion));
  fields.push_back(Field::Unsigned("MESSAGE_IDENTIFIER", MessageIdentifier));
  fields.push_back(Field::Unsigned("CONTROL_FLAGS", ControlFlags));
  fields.push_back(Field::Unsigned("ACTIVATION_TYPE", ControlFlags & 1u));
  fields.push_back(
      CodeNameField("ACTIVATION_TYPE_name", (ControlFlags & 0x01) ? "automatic" : "manual"));
  fields.push_back(Field::Unsigned("CALL_TYPE", (ControlFlags >> 1) & 1u));
  fields.push_back(CodeNameField("CALL_TYPE_name", (ControlFlags & 0x02) ? "test" : "emergency"));
  fields.push_back(Field::Unsigned("POSITION_CONFIDENCE", (ControlFlags >> 2) & 1u));
  fields.push_back(Field::Unsigned("VEHICLE_TYPE", VehicleType()));
  fields.push_back(CodeNameField("VEHICLE_TYPE_name", VehicleTypeName(VehicleType())));
  const auto vinEnd = std::find(VIN.begin(), VIN.end(), 0);
  fields.push_back(
      Field::Text("VIN", Cp1251ToUtf8(VIN.data(), static_cast<size_t>(vinEnd - VIN.begin()))));
  fields.push_back(Field::Unsigned("VEH_PROPULSION_STORAGE", VehPropulsionStorage));
  fields.push_back(PropulsionNames(VehPropulsionStorage));
  fields.push_back(Field::Unsigned("TIME_STAMP", TimeStamp));
  fields.push_back(IsoTimeField("time", TimeStamp));
  fields.push_back(Field::Signed("POSITION_LATITUDE", PositionLatitude));
  fields.push_back(PositionField("latitude", PositionLatitude));
  fields.push_back(Field::Signed("POSITION_LONGITUDE", PositionLongitude));
  fields.push_back(PositionField("longitude", PositionLongitude));
  fields.push_back(Field::Unsigned("VEHICLE_DIRECTION", VehicleDirection));
  fields.push_back(VehicleDirection == kUndefinedDirection
                       ? Field::Null("heading")
                       : Field::Unsigned("heading", VehicleDirection * 2u));
  if (DecodedLength >= 36) {
    AppendDelta(fields, "LATD_N1", "latitude_n1", LATD_n1,
                LATD_n1 == kUndefinedDelta || latUndefined, PositionLatitude, LATD_n1);
  }
  if (DecodedLength >= 38) {
    AppendDelta(fields, "LOND_N1", "longitude_n1", LOND_n1,
                LOND_n1 == kUndefinedDelta || lonUndefined, PositionLongitude, LOND_n1);
  }
  if (DecodedLength >= 40) {
    AppendDelta(fields, "LATD_N2", "latitude_n2", LATD_n2,
                LATD_n2 == kUndefinedDelta || LATD_n1 == kUndefinedDelta || latUndefined,
                PositionLatitude, LATD_n1 + LATD_n2);
  }
  if (DecodedLength >= 42) {
    AppendDelta(fields, "LOND_N2", "longitude_n2", LOND_n2,
                LOND_n2 == kUndefinedDelta || LOND_n1 == kUndefinedDelta || lonUndefined,
                PositionLongitude, LOND_n1 + LOND_n2);
  }
  if (DecodedLength >= 43) {
    fields.push_back(Field::Unsigned("NUMBER_OF_PASSENGERS", NumberOfPassengers));
    fields.push_back(NumberOfPassengers == kUndefinedPassengers
                         ? Field::Null("passengers")
                         : Field::Unsigned("passengers", NumberOfPassengers));
  }
  if (DecodedLength >= 44) {
    fields.push_back(Field::Bytes("ADDITIONAL_DATA", AdditionalData.data(), AdditionalData.size()));
    // The report shows the additional data as text up to its first zero.
    const auto end = std::find(AdditionalData.begin(), AdditionalData.end(), 0);
    fields.push_back(Field::Text(
        "additional_text",
        Cp1251ToUtf8(AdditionalData.data(), static_cast<size_t>(end - AdditionalData.begin()))));
  }
}

void Subrecord_ECALL_MSD_DATA::Report(std::string* target) const {
  const bool latUndefined = PositionLatitude == kUndefinedPosition;
  const bool lonUndefined = PositionLongitude == kUndefinedPosition;

  std::string latd1, lond1, latd2, lond2, passengers;
  if (DecodedLength >= 36) {
    latd1 = DeltaLine("LATD n-1", LATD_n1, LATD_n1 == kUndefinedDelta || latUndefined,
                      PositionLatitude, LATD_n1);
  }
  if (DecodedLength >= 38) {
    lond1 = DeltaLine("LOND n-1", LOND_n1, LOND_n1 == kUndefinedDelta || lonUndefined,
                      PositionLongitude, LOND_n1);
  }
  if (DecodedLength >= 40) {
    latd2 = DeltaLine("LATD n-2", LATD_n2,
                      LATD_n2 == kUndefinedDelta || LATD_n1 == kUndefinedDelta || latUndefined,
                      PositionLatitude, LATD_n1 + LATD_n2);
  }
  if (DecodedLength >= 42) {
    lond2 = DeltaLine("LOND n-2", LOND_n2,
                      LOND_n2 == kUndefinedDelta || LOND_n1 == kUndefinedDelta || lonUndefined,
                      PositionLongitude, LOND_n1 + LOND_n2);
  }
  if (DecodedLength >= 43) {
    passengers = StringPrintf("       Number of Passengers   - %u%s\n", NumberOfPassengers,
                              NumberOfPassengers == kUndefinedPassengers ? " (undefined)" : "");
  }

  const bool directionUndefined = VehicleDirection == kUndefinedDirection;
  const unsigned direction =
      directionUndefined ? 255u : static_cast<unsigned>(VehicleDirection) * 2u;

  const std::string text = StringPrintf(
      "       Format Version         - %u\n"
      "       Message Identifier     - %u\n"
      "       Control Flags          -    %s (0x%.2X)\n"
      "            Vehicle Type         -  %s    %s\n"
      "            Position Confidence  -      %u\n"
      "            Call Type            -       %u  (%s)\n"
      "            Activation Type      -        %u (%s)\n"
      "       VIN                    - %s\n"
      "       Veh Propulsion Storage - %s (%s)\n"
      "       Time Stamp             - 0x%.8X (%s)\n"
      "       Position Latitude      - %s\n"
      "       Position Longitude     - %s\n"
      "       Vehicle Direction      - %u%s\n"
      "%s%s%s%s%s%s",
      FormatVersion, MessageIdentifier, BitString(ControlFlags, 8).c_str(), ControlFlags,
      BitString(VehicleType(), 4).c_str(), VehicleTypeName(VehicleType()),
      (ControlFlags >> 2) & 1u, (ControlFlags >> 1) & 1u,
      (ControlFlags & 0x02) ? "test" : "emergency", ControlFlags & 1u,
      (ControlFlags & 0x01) ? "automatic" : "manual", TextUpToZero(VIN).c_str(),
      BitString(VehPropulsionStorage, 8).c_str(), PropulsionText(VehPropulsionStorage).c_str(),
      TimeStamp, TimeText(TimeStamp).c_str(), PositionText(PositionLatitude).c_str(),
      PositionText(PositionLongitude).c_str(), direction,
      directionUndefined ? " (undefined)" : "", latd1.c_str(), lond1.c_str(), latd2.c_str(),
      lond2.c_str(), passengers.c_str(), TextUpToZero(AdditionalData).c_str());
  EmitReportPiece(target, text, true);
}

}  // namespace EGTS
