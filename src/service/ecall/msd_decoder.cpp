#include "service/ecall/msd_decoder.h"

#include "service/ecall/bit_reader.h"
#include "service/ecall/era_data.h"
#include "util/text.h"

namespace EGTS::Msd {

namespace {

constexpr unsigned kDeltaBits = 10;
constexpr uint32_t kDeltaOffset = 512;
constexpr uint32_t kPositionOffset = 0x80000000u;
constexpr unsigned kVinCharacterBits = 6;

struct PartName {
  MsdPart part;
  const char* name;
};

constexpr PartName kPartNames[] = {
    {MsdPart::kMsdVersion, "msdVersion"},
    {MsdPart::kMsdLength, "msd"},
    {MsdPart::kMsdMessage, "MSDMessage"},
    {MsdPart::kMsdStructure, "msdStructure"},
    {MsdPart::kMessageIdentifier, "messageIdentifier"},
    {MsdPart::kAutomaticActivation, "automaticActivation"},
    {MsdPart::kTestCall, "testCall"},
    {MsdPart::kPositionCanBeTrusted, "positionCanBeTrusted"},
    {MsdPart::kVehicleType, "vehicleType"},
    {MsdPart::kVehicleIdentificationNumber, "vehicleIdentificationNumber"},
    {MsdPart::kVehiclePropulsionStorageType, "vehiclePropulsionStorageType"},
    {MsdPart::kTimestamp, "timestamp"},
    {MsdPart::kPositionLatitude, "positionLatitude"},
    {MsdPart::kPositionLongitude, "positionLongitude"},
    {MsdPart::kVehicleDirection, "vehicleDirection"},
    {MsdPart::kRecentVehicleLocationN1, "recentVehicleLocationN1"},
    {MsdPart::kRecentVehicleLocationN2, "recentVehicleLocationN2"},
    {MsdPart::kOptionalAdditionalData, "optionalAdditionalData"},
};

enum class LengthRead : uint8_t { kRead, kEnded, kFragmented };

// An unconstrained length determinant: "0" + 7 bits, "10" + 14 bits; "11"
// starts a length in fragments of 16K units, which no MSD needs.
LengthRead ReadLength(BitReader& in, uint32_t& length) {
  uint32_t first = 0;
  if (!in.Read(1, first)) return LengthRead::kEnded;
  if (first == 0) return in.Read(7, length) ? LengthRead::kRead : LengthRead::kEnded;
  if (!in.Read(1, first)) return LengthRead::kEnded;
  if (first == 1) return LengthRead::kFragmented;
  return in.Read(14, length) ? LengthRead::kRead : LengthRead::kEnded;
}

bool ReadOctets(BitReader& in, uint32_t count, std::vector<uint8_t>& octets) {
  if (in.Left() < static_cast<size_t>(count) * 8) return false;
  octets.resize(count);
  for (uint8_t& octet : octets) {
    uint32_t value = 0;
    in.Read(8, value);
    octet = static_cast<uint8_t>(value);
  }
  return true;
}

// Reads the MSDMessage from its own bits and fills the decoding part by
// part; returns false where it stops before the end.
class MessageReader {
 public:
  // `base`: bits of the ECallMessage before the MSDMessage (version, length).
  MessageReader(BitReader& in, size_t base, MsdDecoding& decoding)
      : in_(in),
        totalBits_(base + in.Left()),
        decoding_(decoding),
        msd_(decoding.message.msdStructure),
        version_(decoding.message.msdVersion) {}

  bool Read() {
    return Preambles() && Control() && Vin() && Propulsion() && Location() && RecentLocations() &&
           Passengers() && StructureEnd() && AdditionalDataItem() && MessageEnd();
  }

 private:
  // Marks `part` decoded (the next one reached), or says where the bits end.
  bool Done(bool read, MsdPart part) {
    if (!read) {
      decoding_.findings.push_back(StringPrintf("MSD truncated in %s (it ends after %zu bits)",
                                                MsdPartName(part, version_), totalBits_));
      return false;
    }
    decoding_.reached = static_cast<MsdPart>(static_cast<uint8_t>(part) + 1);
    return true;
  }
  bool Bit(bool& value, MsdPart part) { return Done(in_.ReadBit(value), part); }

  bool Extension(bool set, const char* name, const char* what) {
    if (!set) return true;
    decoding_.findings.push_back(StringPrintf(
        "extension bit of %s set: %s are not decoded, decoding stops there", name, what));
    return false;
  }

  bool Preambles() {
    uint32_t bits = 0;
    if (!Done(in_.Read(2, bits), MsdPart::kMsdMessage)) return false;
    messageExtended_ = (bits & 2u) != 0;
    decoding_.additionalDataAnnounced = (bits & 1u) != 0;
    const bool mandatoryRecent = RecentLocationsMandatory(version_);
    if (!Done(in_.Read(mandatoryRecent ? 2 : 4, bits), MsdPart::kMsdStructure)) return false;
    structureExtended_ = mandatoryRecent ? (bits & 2u) != 0 : (bits & 8u) != 0;
    hasN1_ = mandatoryRecent || (bits & 4u) != 0;
    hasN2_ = mandatoryRecent || (bits & 2u) != 0;
    hasPassengers_ = (bits & 1u) != 0;
    return true;
  }

  bool Control() {
    uint32_t value = 0;
    if (!Done(in_.Read(8, value), MsdPart::kMessageIdentifier)) return false;
    msd_.messageIdentifier = static_cast<uint8_t>(value);
    if (!Bit(msd_.automaticActivation, MsdPart::kAutomaticActivation) ||
        !Bit(msd_.testCall, MsdPart::kTestCall) ||
        !Bit(msd_.positionCanBeTrusted, MsdPart::kPositionCanBeTrusted)) {
      return false;
    }
    bool extended = false;
    if (!in_.ReadBit(extended)) return Done(false, MsdPart::kVehicleType);
    if (extended) return Extension(true, "vehicleType", "values beyond the known vehicle types");
    if (!Done(in_.Read(VehicleTypeBits(version_), value), MsdPart::kVehicleType)) return false;
    msd_.vehicleType = static_cast<uint8_t>(value + 1);
    if (value >= VehicleTypeCount(version_)) {
      decoding_.findings.push_back(
          StringPrintf("vehicleType index %u is beyond the %u types of MSD version %u", value,
                       VehicleTypeCount(version_), unsigned{version_}));
    }
    return true;
  }

  bool Vin() {
    std::string vin;
    for (size_t i = 0; i < kVinLength; ++i) {
      uint32_t index = 0;
      if (!in_.Read(kVinCharacterBits, index))
        return Done(false, MsdPart::kVehicleIdentificationNumber);
      // An index beyond the alphabet has no character: '?' stands for it.
      vin += index < kVinAlphabetSize ? kVinAlphabet[index] : '?';
    }
    msd_.vehicleIdentificationNumber = vin;
    return Done(true, MsdPart::kVehicleIdentificationNumber);
  }

  bool Propulsion() {
    const unsigned kinds = PropulsionKinds(version_);
    bool extended = false;
    uint32_t presence = 0;
    if (!in_.ReadBit(extended) || !in_.Read(kinds, presence)) {
      return Done(false, MsdPart::kVehiclePropulsionStorageType);
    }
    for (unsigned i = 0; i < kinds; ++i) {
      bool value = false;
      if ((presence >> (kinds - 1 - i)) & 1u) {
        if (!in_.ReadBit(value)) return Done(false, MsdPart::kVehiclePropulsionStorageType);
      }
      msd_.vehiclePropulsionStorageType[i] = value;
    }
    Done(true, MsdPart::kVehiclePropulsionStorageType);
    return Extension(extended, "vehiclePropulsionStorageType", "its additions");
  }

  bool Location() {
    uint32_t value = 0;
    if (!Done(in_.Read(32, value), MsdPart::kTimestamp)) return false;
    msd_.timestamp = value;
    if (!Done(in_.Read(32, value), MsdPart::kPositionLatitude)) return false;
    msd_.positionLatitude = static_cast<int32_t>(value - kPositionOffset);
    if (!Done(in_.Read(32, value), MsdPart::kPositionLongitude)) return false;
    msd_.positionLongitude = static_cast<int32_t>(value - kPositionOffset);
    if (!Done(in_.Read(8, value), MsdPart::kVehicleDirection)) return false;
    msd_.vehicleDirection = static_cast<uint8_t>(value);
    return true;
  }

  bool Delta(bool present, std::optional<VehicleLocationDelta>& delta, MsdPart part) {
    if (!present) return Done(true, part);
    uint32_t latitude = 0, longitude = 0;
    if (!in_.Read(kDeltaBits, latitude) || !in_.Read(kDeltaBits, longitude)) {
      return Done(false, part);
    }
    delta =
        VehicleLocationDelta{static_cast<int16_t>(static_cast<int32_t>(latitude - kDeltaOffset)),
                             static_cast<int16_t>(static_cast<int32_t>(longitude - kDeltaOffset))};
    return Done(true, part);
  }

  bool RecentLocations() {
    return Delta(hasN1_, msd_.recentVehicleLocationN1, MsdPart::kRecentVehicleLocationN1) &&
           Delta(hasN2_, msd_.recentVehicleLocationN2, MsdPart::kRecentVehicleLocationN2);
  }

  bool Passengers() {
    uint32_t value = 0;
    if (hasPassengers_) {
      if (!in_.Read(8, value)) return Done(false, MsdPart::kNumberOfPassengers);
      msd_.numberOfPassengers = static_cast<uint8_t>(value);
    }
    return Done(true, MsdPart::kNumberOfPassengers);
  }

  bool StructureEnd() { return Extension(structureExtended_, "msdStructure", "its additions"); }

  bool AdditionalDataItem() {
    if (!decoding_.additionalDataAnnounced) return Done(true, MsdPart::kOptionalAdditionalData);
    AdditionalData additional;
    uint32_t length = 0;
    for (std::vector<uint8_t>* octets : {&additional.oid, &additional.data}) {
      const LengthRead read = ReadLength(in_, length);
      if (read == LengthRead::kFragmented) {
        decoding_.findings.push_back(
            "length of optionalAdditionalData in fragments: not decoded, decoding stops there");
        return false;
      }
      if (read != LengthRead::kRead || !ReadOctets(in_, length, *octets)) {
        return Done(false, MsdPart::kOptionalAdditionalData);
      }
    }
    decoding_.additionalDataOctets = additional.data;
    const EraForm form = EraFormOf(additional.oid);
    if (form != EraForm::kNone) {
      EraDecoding era = DecodeEraData(additional.data, form);
      decoding_.findings.insert(decoding_.findings.end(), era.findings.begin(), era.findings.end());
      if (era.era) {
        additional.era = era.era;
        additional.data.clear();
      }
    }
    decoding_.message.optionalAdditionalData = std::move(additional);
    return Done(true, MsdPart::kOptionalAdditionalData);
  }

  bool MessageEnd() { return Extension(messageExtended_, "MSDMessage", "its additions"); }

  BitReader& in_;
  const size_t totalBits_;
  MsdDecoding& decoding_;
  MSDStructure& msd_;
  const uint8_t version_;
  bool messageExtended_ = false;
  bool structureExtended_ = false;
  bool hasN1_ = false;
  bool hasN2_ = false;
  bool hasPassengers_ = false;
};

// After a complete MSDMessage: its padding bits, and octets it left over
// inside the `octets` it was given.
void CheckEnd(const BitReader& in, size_t octets, uint8_t version, MsdDecoding& decoding) {
  if (in.PaddingValue() != 0) {
    decoding.findings.push_back(
        StringPrintf("padding bits after the MSD are not zero (%s)",
                     BitString(in.PaddingValue(), in.PaddingBits()).c_str()));
  }
  const size_t used = (in.Position() + 7) / 8;
  if (octets <= used) return;
  const std::string left = ByteCountText(octets - used);
  decoding.findings.push_back(version == 1
                                  ? left + " after the end of the MSD"
                                  : "the msd octet string holds " + left + " after the MSDMessage");
}

}  // namespace

const char* MsdPartName(MsdPart part, uint8_t msdVersion) {
  if (part == MsdPart::kNumberOfPassengers) return PassengersName(msdVersion);
  for (const PartName& row : kPartNames) {
    if (row.part == part) return row.name;
  }
  return "ECallMessage";
}

MsdDecoding DecodeMsd(const uint8_t* data, size_t size) {
  MsdDecoding decoding;
  decoding.octets = data == nullptr ? 0 : size;
  if (decoding.octets == 0) {
    decoding.findings.push_back("no MSD bytes after the format");
    return decoding;
  }
  const uint8_t version = data[0];
  decoding.message.msdVersion = version;
  decoding.reached = MsdPart::kMsdLength;
  decoding.bits = 8;
  if (version < 1 || version > 3) {
    decoding.findings.push_back(StringPrintf(
        "MSD version %u is not known (1, 2 and 3 are): the MSD is not decoded", unsigned{version}));
    return decoding;
  }

  const uint8_t* inner = data + 1;
  size_t innerSize = size - 1;
  size_t base = 8;
  if (version >= 2) {
    BitReader lengthReader(inner, innerSize);
    const LengthRead read = ReadLength(lengthReader, decoding.msdLength);
    if (read == LengthRead::kFragmented) {
      decoding.findings.push_back("length of msd in fragments: not decoded, decoding stops there");
      return decoding;
    }
    if (read != LengthRead::kRead) {
      decoding.findings.push_back(
          StringPrintf("MSD truncated in msd (it ends after %zu bits)", size * 8));
      return decoding;
    }
    const size_t lengthOctets = lengthReader.Position() / 8;
    inner += lengthOctets;
    innerSize -= lengthOctets;
    base += lengthReader.Position();
    decoding.reached = MsdPart::kMsdMessage;
    if (decoding.msdLength != innerSize) {
      decoding.findings.push_back(
          StringPrintf("msd length %u disagrees with the %s present after it", decoding.msdLength,
                       ByteCountText(innerSize).c_str()));
    }
    if (decoding.msdLength < innerSize) innerSize = decoding.msdLength;
  } else {
    decoding.reached = MsdPart::kMsdMessage;
  }

  BitReader in(inner, innerSize);
  MessageReader reader(in, base, decoding);
  const bool whole = reader.Read();
  decoding.bits = base + in.Position();
  if (whole && decoding.Complete()) {
    CheckEnd(in, innerSize, version, decoding);
  }
  return decoding;
}

}  // namespace EGTS::Msd
