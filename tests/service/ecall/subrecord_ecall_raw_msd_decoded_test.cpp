#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"

#include <gtest/gtest.h>

#include "compose/ecall_msd_packet.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_samples.h"
#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/transport_header.h"

namespace {

using EGTS::Field;
using EGTS::FieldList;
using EGTS::FindField;
using EGTS::Subrecord_ECALL_RAW_MSD_DATA_Decoded;
using namespace EGTS::Msd;
using msd_samples::Bytes;

Subrecord_ECALL_RAW_MSD_DATA_Decoded DecodedSubrecord(uint8_t format, const Bytes& msd) {
  Bytes srd{format};
  srd.insert(srd.end(), msd.begin(), msd.end());
  Subrecord_ECALL_RAW_MSD_DATA_Decoded raw;
  EXPECT_EQ(raw.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  return raw;
}

std::string ReportOf(const EGTS::Subrecord_Class& object) {
  std::string text;
  object.Report(&text);
  return text;
}

TEST(RawMsdDecoded, ReportInTheStyleOfMsdData) {
  const auto raw = DecodedSubrecord(1, msd_samples::FromHex(msd_samples::kVectorB));
  EXPECT_TRUE(raw.checks.empty());
  EXPECT_EQ(ReportOf(raw),
            std::string("       Format                 - 1\n"
                        "       Raw MSD data           - 39 bytes [") +
                msd_samples::kVectorB +
                "]\n"
                "       MSD Version            - 2\n"
                "       MSD Length             - 37 bytes\n"
                "       Message Identifier     - 1\n"
                "       Activation Type        - 1 (automatic)\n"
                "       Call Type              - 0 (emergency)\n"
                "       Position Trusted       - 1 (trusted)\n"
                "       Vehicle Type           - 1 (passenger car (Class M1))\n"
                "       VIN                    - ECALLEXAMPLE02013\n"
                "       Veh Propulsion Storage - 1000000 (gasoline)\n"
                "       Time Stamp             - 0x51882B34 (06.05.2013 22:14:12 GMT)\n"
                "       Position Latitude      - 0x011FC538 (5.23870000)\n"
                "       Position Longitude     - 0x0B34990C (52.22123000)\n"
                "       Vehicle Direction      - 45 (heading 90 degrees)\n"
                "       Recent Location N1:\n"
                "           Latitude Delta     - 0 (5.23870000)\n"
                "           Longitude Delta    - 10 (52.22150778)\n"
                "       Recent Location N2:\n"
                "           Latitude Delta     - 0 (5.23870000)\n"
                "           Longitude Delta    - 30 (52.22234111)\n"
                "       Number of Passengers   - 2\n");
}

// A message cut short shows what came before and where it ends; unknown
// values read as such.
TEST(RawMsdDecoded, TruncatedAndUnknownValues) {
  ECallMessage message = msd_samples::VectorBMessage();
  message.msdStructure.positionLatitude = kUnknownPosition;
  message.msdStructure.vehicleDirection = kUnknownDirection;
  message.msdStructure.timestamp = 0;
  message.msdStructure.numberOfPassengers.reset();
  Bytes msd = EncodeMsd(message).octets;
  msd.resize(msd.size() - 2);
  const std::string report = ReportOf(DecodedSubrecord(1, msd));
  for (const char* line :
       {"       Time Stamp             - 0x00000000 (unknown)\n",
        "       Position Latitude      - 0x7FFFFFFF (unknown)\n",
        "       Vehicle Direction      - 255 (unknown)\n",
        "           Latitude Delta     - 0 (unknown)\n",
        "       Check                  - msd length 35 disagrees with the 33 bytes present "
        "after it\n",
        "       Check                  - MSD truncated in recentVehicleLocationN2 (it ends after "
        "280 bits)\n",
        "       Check                  - timestamp is 0 (unknown)\n"}) {
    EXPECT_NE(report.find(line), std::string::npos) << line << report;
  }
  EXPECT_EQ(report.find("Recent Location N2"), std::string::npos);
}

TEST(RawMsdDecoded, OtherFormatsKeepTheirBytes) {
  const Bytes msd = msd_samples::FromHex(msd_samples::kVectorB);
  for (const auto& [format, check] :
       {std::pair<uint8_t, const char*>{0, "format 0 (unknown format): the MSD is not decoded"},
        std::pair<uint8_t, const char*>{7, "format 7 is not known: the MSD is not decoded"}}) {
    const auto raw = DecodedSubrecord(format, msd);
    EXPECT_FALSE(raw.msd);
    EXPECT_EQ(raw.checks, std::vector<std::string>{check});
    const std::string report = ReportOf(raw);
    EXPECT_NE(report.find("Raw MSD data           - 39 bytes ["), std::string::npos);
    EXPECT_EQ(report.find("MSD Version"), std::string::npos);
    FieldList fields;
    raw.Describe(fields);
    EXPECT_EQ(FindField(fields, "msd"), nullptr);
    EXPECT_NE(FindField(fields, "MSD"), nullptr);
  }
}

// JSON names: ASN.1 names, DEFAULT items with their value, OPTIONAL items
// only when sent.
TEST(RawMsdDecoded, FieldsOfTheEraExample) {
  ECallMessage message = msd_samples::VectorBMessage();
  ERAAdditionalData era;
  era.crashInfo.emplace();
  (*era.crashInfo)[0] = true;
  (*era.crashInfo)[1] = false;
  message.optionalAdditionalData = AdditionalData{EraOid(EraForm::kMsdV2), {}, era};
  FieldList fields;
  DecodedSubrecord(1, EncodeMsd(message).octets).Describe(fields);
  const Field* msd = FindField(fields, "msd");
  ASSERT_NE(msd, nullptr);
  const Field* storage = FindField(msd->members, "vehiclePropulsionStorageType");
  ASSERT_NE(storage, nullptr);
  ASSERT_EQ(storage->members.size(), 7u);
  EXPECT_EQ(storage->members[6].name, "otherStorage");
  EXPECT_EQ(storage->members[6].kind, Field::Kind::kBool);
  EXPECT_EQ(FindField(msd->members, "vehicleType_name")->textValue, "passenger car (Class M1)");
  EXPECT_EQ(FindField(msd->members, "time")->textValue, "2013-05-06T22:14:12Z");
  EXPECT_TRUE(FindField(msd->members, "timestamp")->unixTime);
  const Field* decoded = FindField(msd->members, "eraAdditionalData");
  ASSERT_NE(decoded, nullptr);
  EXPECT_EQ(FindField(decoded->members, "crashSeverity"), nullptr);
  EXPECT_EQ(FindField(decoded->members, "diagnosticResult"), nullptr);
  const Field* crash = FindField(decoded->members, "crashInfo");
  ASSERT_NE(crash, nullptr);
  ASSERT_EQ(crash->members.size(), 2u);
  EXPECT_EQ(crash->members[1].name, "crashLeft");
  EXPECT_EQ(crash->members[1].unsignedValue, 0u);
  EXPECT_EQ(FindField(decoded->members, "coordinateSystemType_name")->textValue, "wgs84");
  EXPECT_EQ(FindField(FindField(msd->members, "optionalAdditionalData")->members, "oid")->textValue,
            "1.4.2");
}

// ECALL_MSD_DATA and RAW_MSD_DATA in one packet, parsed with -x: the
// parsed (copied) RAW_MSD_DATA keeps its decoding, and every field that
// differs is a check.
TEST(RawMsdDecoded, ComparedWithMsdDataOfThePacket) {
  using namespace testing_support;
  const ECallMessage message = msd_samples::VectorBMessage();
  ECallMessage other = message;
  other.msdStructure.vehicleIdentificationNumber = "ECALLEXAMPLE02014";
  other.msdStructure.timestamp += 1;
  other.msdStructure.positionLongitude -= 1;
  other.msdStructure.vehicleDirection = 46;
  other.msdStructure.vehicleType = 2;
  other.msdStructure.vehiclePropulsionStorageType[1] = true;
  other.msdStructure.numberOfPassengers.reset();
  other.msdStructure.recentVehicleLocationN2.reset();

  const auto parse = [&](const ECallMessage& fixed) {
    EGTS::bytestream fixedSrd;
    MsdDataOf(fixed).Encode(fixedSrd);
    Bytes raw{1};
    const Bytes msd = EncodeMsd(message).octets;
    raw.insert(raw.end(), msd.begin(), msd.end());
    const Bytes packet = PacketBytes(
        1,
        RecordBytes({.SST = 10, .RST = 10},
                    Concat({SubrecordBytes(50, Bytes(fixedSrd.bytes.begin(),
                                                     fixedSrd.bytes.begin() + fixedSrd.position)),
                            SubrecordBytes(40, raw)})));
    TransportHeader header;
    EXPECT_EQ(ValidateTransportHeader(packet.data(), static_cast<uint16_t>(packet.size()), header),
              0);
    PacketHolder holder;
    EXPECT_EQ(ParseFrameData(packet.data(), static_cast<uint16_t>(packet.size()), header, holder,
                             EGTS::SubrecordSet::kStandard),
              0);
    const auto* decoded = dynamic_cast<const Subrecord_ECALL_RAW_MSD_DATA_Decoded*>(
        holder.packet->records.at(0).subrecords.at(1).object.get());
    EXPECT_NE(decoded, nullptr);
    EXPECT_TRUE(decoded && decoded->msd);
    return decoded ? decoded->checks : std::vector<std::string>{"no decoding"};
  };
  EXPECT_EQ(parse(message), std::vector<std::string>{});
  EXPECT_EQ(parse(other),
            (std::vector<std::string>{
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in vehicleType: 2 against 1",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in vehicleIdentificationNumber: "
                "ECALLEXAMPLE02014 against ECALLEXAMPLE02013",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in vehiclePropulsionStorageType: "
                "gasoline, diesel against gasoline",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in timestamp: 1367878453 against "
                "1367878452",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in positionLongitude: 187996427 against "
                "187996428",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in vehicleDirection: 46 against 45",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in recentVehicleLocationN2 "
                "latitudeDelta: absent against 0",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in recentVehicleLocationN2 "
                "longitudeDelta: absent against 30",
                "ECALL_MSD_DATA and RAW_MSD_DATA differ in numberOfPassengers: absent against 2"}));
}

}  // namespace
