#include "service/ecall/msd_decoder.h"

#include <gtest/gtest.h>

#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_samples.h"

namespace {

using namespace EGTS::Msd;
using msd_samples::Bytes;
using msd_samples::FromHex;
using msd_samples::ToHex;

MsdDecoding Decode(const Bytes& bytes) { return DecodeMsd(bytes.data(), bytes.size()); }

Bytes Encode(const ECallMessage& message, bool explicitDefaults = false) {
  const MsdEncoding encoding = EncodeMsd(message, EncodeOptions{explicitDefaults});
  EXPECT_EQ(encoding.error, "");
  return encoding.octets;
}

// The bits of `bytes` with bit `index` (0 = the first byte's top bit) set.
Bytes WithBit(Bytes bytes, size_t index) {
  bytes[index / 8] |= static_cast<uint8_t>(0x80u >> (index % 8));
  return bytes;
}

TEST(MsdDecoder, VectorAVersion1EveryValue) {
  const MsdDecoding d = Decode(FromHex(msd_samples::kVectorA));
  EXPECT_TRUE(d.Complete());
  EXPECT_TRUE(d.findings.empty()) << d.findings[0];
  EXPECT_EQ(d.bits, 365u);
  const MSDStructure& s = d.message.msdStructure;
  EXPECT_EQ(d.message.msdVersion, 1);
  EXPECT_EQ(s.messageIdentifier, 1);
  EXPECT_TRUE(s.automaticActivation);
  EXPECT_FALSE(s.testCall);
  EXPECT_TRUE(s.positionCanBeTrusted);
  EXPECT_EQ(s.vehicleType, 1);
  EXPECT_EQ(s.vehicleIdentificationNumber, "WM9VDSVDSYA123456");
  const std::array<bool, kPropulsionKinds> propulsion{true, false, false, false,
                                                      true, false, false};
  EXPECT_EQ(s.vehiclePropulsionStorageType, propulsion);
  EXPECT_EQ(s.timestamp, 123456789u);
  EXPECT_EQ(s.positionLatitude, 173881200);
  EXPECT_EQ(s.positionLongitude, 41822520);
  EXPECT_EQ(s.vehicleDirection, 14);
  EXPECT_EQ(s.recentVehicleLocationN1, (VehicleLocationDelta{10, -10}));
  EXPECT_EQ(s.recentVehicleLocationN2, (VehicleLocationDelta{10, -20}));
  EXPECT_EQ(s.numberOfPassengers, 2);
  ASSERT_TRUE(d.message.optionalAdditionalData);
  EXPECT_EQ(RelativeOidText(d.message.optionalAdditionalData->oid), "1.2.125");
  EXPECT_EQ(d.message.optionalAdditionalData->data, (Bytes{'0', '0', 'F', 'F'}));
  EXPECT_EQ(d.message, msd_samples::VectorAMessage());
}

TEST(MsdDecoder, VectorBVersion2EveryValue) {
  const MsdDecoding d = Decode(FromHex(msd_samples::kVectorB));
  EXPECT_TRUE(d.Complete());
  EXPECT_TRUE(d.findings.empty()) << d.findings[0];
  EXPECT_EQ(d.msdLength, 37u);
  EXPECT_EQ(d.bits, 16u + 291u);
  const MSDStructure& s = d.message.msdStructure;
  EXPECT_EQ(s.vehicleIdentificationNumber, "ECALLEXAMPLE02013");
  EXPECT_EQ(s.timestamp, 1367878452u);
  EXPECT_EQ(s.positionLatitude, 18859320);
  EXPECT_EQ(s.positionLongitude, 187996428);
  EXPECT_EQ(s.vehicleDirection, 45);
  EXPECT_EQ(s.recentVehicleLocationN1, (VehicleLocationDelta{0, 10}));
  EXPECT_EQ(s.recentVehicleLocationN2, (VehicleLocationDelta{0, 30}));
  EXPECT_FALSE(d.message.optionalAdditionalData);
  EXPECT_EQ(d.message, msd_samples::VectorBMessage());
}

// DEFAULT FALSE items may be sent or left out: A' sends all six, B all
// seven; both decode as the canonical forms do, and each encoding comes
// back from the encoder with the matching option.
TEST(MsdDecoder, DefaultBooleansSentOrLeftOutDecodeAlike) {
  const Bytes a = FromHex(msd_samples::kVectorA);
  const Bytes aExplicit = Encode(msd_samples::VectorAMessage(), true);
  EXPECT_EQ(aExplicit.size(), a.size() + 1);
  EXPECT_EQ(Decode(aExplicit).message, Decode(a).message);
  EXPECT_EQ(Encode(Decode(a).message), a);

  const Bytes b = FromHex(msd_samples::kVectorB);
  EXPECT_EQ(Encode(Decode(b).message, true), b);
  const Bytes bCanonical = Encode(Decode(b).message);
  EXPECT_EQ(bCanonical.size(), b.size() - 1);
  EXPECT_EQ(Decode(bCanonical).message, Decode(b).message);
}

TEST(MsdDecoder, Version3HasMoreVehicleTypesAndMandatoryRecentLocations) {
  ECallMessage message = msd_samples::VectorBMessage();
  message.msdVersion = 3;
  message.msdStructure.vehicleType = 21;  // ambulance (SC)
  message.msdStructure.numberOfPassengers.reset();
  const Bytes bytes = Encode(message);
  // Version 2 spends 2 presence bits on N1 and N2, and one bit less on
  // the vehicle type; the rest is the same.
  ECallMessage asVersion2 = message;
  asVersion2.msdVersion = 2;
  asVersion2.msdStructure.vehicleType = 1;
  EXPECT_EQ(Encode(asVersion2).size(), bytes.size());
  const MsdDecoding d = Decode(bytes);
  EXPECT_TRUE(d.Complete());
  EXPECT_EQ(d.message, message);
  EXPECT_STREQ(MsdPartName(MsdPart::kNumberOfPassengers, 3), "numberOfOccupants");
  EXPECT_STREQ(VehicleTypeText(3, 21), "ambulance (Category SC)");
  EXPECT_EQ(VehicleTypeText(2, 21), nullptr);
}

// Every prefix of vector A decodes what it holds and names the field in
// which its bits end; the decoder reads nothing beyond the prefix.
TEST(MsdDecoder, EveryPrefixNamesTheFieldWhereItEnds) {
  const Bytes a = FromHex(msd_samples::kVectorA);
  MsdPart before = MsdPart::kMsdVersion;
  for (size_t size = 1; size < a.size(); ++size) {
    const Bytes prefix(a.begin(), a.begin() + size);
    const MsdDecoding d = Decode(prefix);
    ASSERT_FALSE(d.Complete()) << size;
    ASSERT_EQ(d.findings.size(), 1u) << size;
    EXPECT_EQ(d.findings[0].find("MSD truncated in " + std::string(MsdPartName(d.reached, 1)) +
                                 " (it ends after " + std::to_string(size * 8) + " bits)"),
              0u)
        << d.findings[0];
    EXPECT_GE(d.reached, before) << size;
    before = d.reached;
  }
  // Additional data announced but cut short: what came before is there.
  const MsdDecoding cut = Decode(Bytes(a.begin(), a.begin() + 44));
  EXPECT_EQ(cut.findings[0], "MSD truncated in optionalAdditionalData (it ends after 352 bits)");
  EXPECT_TRUE(cut.Has(MsdPart::kNumberOfPassengers));
  EXPECT_EQ(cut.message.msdStructure.numberOfPassengers, 2);
  EXPECT_FALSE(cut.message.optionalAdditionalData);
}

// An extension bit set: what precedes the additions is kept, and the
// decoding stops where they would begin.
TEST(MsdDecoder, ExtensionBitsStopTheDecoding) {
  const Bytes a = FromHex(msd_samples::kVectorA);
  struct Case {
    size_t bit;
    const char* finding;
    MsdPart reached;
  } cases[] = {
      {8, "extension bit of MSDMessage set: its additions are not decoded, decoding stops there",
       MsdPart::kComplete},
      {10, "extension bit of msdStructure set: its additions are not decoded, decoding stops there",
       MsdPart::kOptionalAdditionalData},
      {25,
       "extension bit of vehicleType set: values beyond the known vehicle types are not decoded, "
       "decoding stops there",
       MsdPart::kVehicleType},
      {132,
       "extension bit of vehiclePropulsionStorageType set: its additions are not decoded, "
       "decoding stops there",
       MsdPart::kTimestamp},
  };
  for (const Case& c : cases) {
    const MsdDecoding d = Decode(WithBit(a, c.bit));
    ASSERT_EQ(d.findings.size(), 1u) << c.bit;
    EXPECT_EQ(d.findings[0], c.finding);
    EXPECT_EQ(d.reached, c.reached) << c.bit;
  }
}

TEST(MsdDecoder, PaddingLengthsAndTrailingBytes) {
  const Bytes a = FromHex(msd_samples::kVectorA);
  EXPECT_EQ(Decode(WithBit(a, a.size() * 8 - 1)).findings,
            std::vector<std::string>{"padding bits after the MSD are not zero (001)"});
  Bytes longer = a;
  longer.push_back(0);
  EXPECT_EQ(Decode(longer).findings, std::vector<std::string>{"1 byte after the end of the MSD"});

  const Bytes b = FromHex(msd_samples::kVectorB);
  Bytes announcesMore = b;
  announcesMore[1] = 38;
  const MsdDecoding more = Decode(announcesMore);
  EXPECT_EQ(more.findings,
            std::vector<std::string>{"msd length 38 disagrees with the 37 bytes present after it"});
  EXPECT_TRUE(more.Complete());
  Bytes extra = b;
  extra.push_back(0);
  EXPECT_EQ(Decode(extra).findings,
            std::vector<std::string>{"msd length 37 disagrees with the 38 bytes present after it"});
  extra[1] = 38;
  EXPECT_EQ(Decode(extra).findings,
            std::vector<std::string>{"the msd octet string holds 1 byte after the MSDMessage"});
}

TEST(MsdDecoder, WhatIsNotDecoded) {
  EXPECT_EQ(Decode({}).findings, std::vector<std::string>{"no MSD bytes after the format"});
  const MsdDecoding unknown = Decode({0x07, 0x00});
  EXPECT_EQ(unknown.findings,
            std::vector<std::string>{
                "MSD version 7 is not known (1, 2 and 3 are): the MSD is not decoded"});
  EXPECT_TRUE(unknown.Has(MsdPart::kMsdVersion));
  EXPECT_EQ(
      Decode({0x02, 0xC1, 0x00}).findings,
      std::vector<std::string>{"length of msd in fragments: not decoded, decoding stops there"});
  // A two-octet length (128 and more).
  ECallMessage big = msd_samples::VectorBMessage();
  big.optionalAdditionalData = AdditionalData{{0x05}, Bytes(120, 0xAB), {}};
  const Bytes bytes = Encode(big);
  EXPECT_EQ(bytes[1] & 0xC0, 0x80);
  EXPECT_EQ(Decode(bytes).message, big);
}

// Indexes beyond their tables still decode, with a finding or a check.
TEST(MsdDecoder, IndexesBeyondTheirTables) {
  // Vector A's vehicle type index is bits 26-29, its first VIN character
  // bits 30-35.
  Bytes a = FromHex(msd_samples::kVectorA);
  for (size_t bit = 26; bit < 36; ++bit) a = WithBit(a, bit);
  const MsdDecoding d = Decode(a);
  EXPECT_TRUE(d.Complete());
  EXPECT_EQ(d.message.msdStructure.vehicleType, 16);
  EXPECT_EQ(d.findings,
            std::vector<std::string>{"vehicleType index 15 is beyond the 13 types of MSD version 1"});
  EXPECT_EQ(d.message.msdStructure.vehicleIdentificationNumber, "?M9VDSVDSYA123456");
}

}  // namespace
