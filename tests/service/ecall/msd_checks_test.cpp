#include "service/ecall/msd_checks.h"

#include <gtest/gtest.h>

#include "service/ecall/msd_fields.h"
#include "service/ecall/msd_samples.h"
#include "service/time_checks.h"

namespace {

using namespace EGTS::Msd;

std::vector<std::string> ChecksOf(const MsdDecoding& decoding) {
  std::vector<std::string> checks;
  AppendMsdChecks(decoding, checks);
  return checks;
}

MsdDecoding Decoded(const ECallMessage& message) {
  MsdDecoding decoding;
  decoding.message = message;
  decoding.reached = MsdPart::kComplete;
  decoding.octets = 39;
  return decoding;
}

TEST(MsdChecks, SoundMessagesPass) {
  EXPECT_TRUE(ChecksOf(Decoded(msd_samples::VectorAMessage())).empty());
  MsdDecoding unknown = Decoded(msd_samples::VectorBMessage());
  unknown.message.msdStructure.positionLatitude = kUnknownPosition;
  unknown.message.msdStructure.positionLongitude = -kMaxLongitude;
  unknown.message.msdStructure.vehicleDirection = kUnknownDirection;
  EXPECT_TRUE(ChecksOf(unknown).empty());
}

TEST(MsdChecks, EveryCheckOnce) {
  MsdDecoding d = Decoded(msd_samples::VectorBMessage());
  MSDStructure& s = d.message.msdStructure;
  s.messageIdentifier = 0;
  s.vehicleIdentificationNumber = "ECALLEXAMPLE0201?";
  s.timestamp = 0;
  s.positionLatitude = kMaxLatitude + 1;
  s.positionLongitude = -kMaxLongitude - 1;
  s.vehicleDirection = 180;
  d.octets = 141;
  d.message.optionalAdditionalData = AdditionalData{{1, 4, 1}, {}, ERAAdditionalData{}};
  EXPECT_EQ(ChecksOf(d),
            (std::vector<std::string>{
                "the MSD is 141 bytes, more than 140",
                "messageIdentifier is 0 (a new eCall starts with 1)",
                "vehicleIdentificationNumber character 17 '?' is outside its alphabet (I, O, Q "
                "and lower case are illegal)",
                "timestamp is 0 (unknown)",
                "positionLatitude 324000001 (90.00000028 degrees) is outside +-90 degrees",
                "positionLongitude -648000001 (-180.00000028 degrees) is outside +-180 degrees",
                "vehicleDirection 180 is neither 0..179 (2-degree steps) nor 255 (unknown)",
                "oid 1.4.1 is the ERA-GLONASS data of MSD version 1, not of version 2"}));
  // Parts the decoding does not hold are not checked.
  d.reached = MsdPart::kVehicleIdentificationNumber;
  EXPECT_EQ(ChecksOf(d).size(), 2u);
}

TEST(MsdChecks, VinAlphabetAndTimeNearTheReception) {
  std::vector<std::string> checks;
  AppendVinChecks("XTAI1099o435793\x01", "VIN", checks);
  EXPECT_EQ(checks,
            (std::vector<std::string>{
                "VIN character 4 'I' is outside its alphabet (I, O, Q and lower case are illegal)",
                "VIN character 9 'o' is outside its alphabet (I, O, Q and lower case are illegal)",
                "VIN character 16 0x01 is outside its alphabet (I, O, Q and lower case are "
                "illegal)"}));
  const int64_t received = 1793607300;
  // The MSD's time is checked against the reception with the other times.
  EGTS::FieldList fields;
  DescribeMsd(Decoded(msd_samples::VectorBMessage()), fields);
  checks.clear();
  EGTS::AppendTimeChecks(fields, received, checks);
  EXPECT_EQ(checks, std::vector<std::string>{
                        "timestamp 06.05.2013 22:14:12 GMT is more than one day before the "
                        "reception"});
  EXPECT_EQ(EGTS::NearReceptionCheckText("timestamp", received - 86400, received), "");
  EXPECT_EQ(EGTS::NearReceptionCheckText("timestamp", received + 86401, received),
            "timestamp 03.11.2026 08:15:01 GMT is more than one day after the reception");
  EXPECT_EQ(EGTS::NearReceptionCheckText("timestamp", received - 86401, received),
            "timestamp 01.11.2026 08:14:59 GMT is more than one day before the reception");
}

}  // namespace
