// Round-trip properties of the MSD encoder and decoder over messages made
// at random within every constraint (a fixed seed, so a failure repeats).

#include <gtest/gtest.h>

#include "service/ecall/msd_decoder.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_samples.h"

namespace {

using namespace EGTS::Msd;

constexpr int kMessages = 3000;

TEST(MsdRoundTrip, DecodeOfEncodeGivesTheMessageAndEncodeOfDecodeTheBytes) {
  std::mt19937 random(20261102);
  for (int i = 0; i < kMessages; ++i) {
    const ECallMessage message = msd_samples::RandomMessage(random);
    for (const bool explicitDefaults : {false, true}) {
      const MsdEncoding encoding = EncodeMsd(message, EncodeOptions{explicitDefaults});
      ASSERT_EQ(encoding.error, "") << i;
      const MsdDecoding decoding = DecodeMsd(encoding.octets.data(), encoding.octets.size());
      ASSERT_TRUE(decoding.Complete()) << i;
      ASSERT_TRUE(decoding.findings.empty()) << i << ": " << decoding.findings[0];
      ASSERT_EQ(decoding.message, message) << i << " " << msd_samples::ToHex(encoding.octets);
      if (!explicitDefaults) {
        // The canonical bytes come back as they were.
        ASSERT_EQ(EncodeMsd(decoding.message).octets, encoding.octets) << i;
      }
    }
  }
}

TEST(MsdRoundTrip, InvalidMessagesAreRefused) {
  const ECallMessage valid = msd_samples::VectorBMessage();
  const struct {
    void (*spoil)(ECallMessage&);
    const char* error;
  } cases[] = {
      {[](ECallMessage& m) { m.msdVersion = 4; }, "msdVersion 4 is not 1, 2 or 3"},
      {[](ECallMessage& m) { m.msdStructure.vehicleType = 14; },
       "vehicleType 14 is not one of MSD version 2"},
      {[](ECallMessage& m) { m.msdStructure.vehicleIdentificationNumber = "ECALLEXAMPLEI2013"; },
       "vehicleIdentificationNumber has a character outside its alphabet"},
      {[](ECallMessage& m) { m.msdStructure.vehicleIdentificationNumber = "SHORT"; },
       "vehicleIdentificationNumber does not have 17 characters"},
      {[](ECallMessage& m) { m.msdStructure.recentVehicleLocationN2->longitudeDelta = 512; },
       "a location delta is outside -512..511"},
      {[](ECallMessage& m) {
         m.msdVersion = 3;
         m.msdStructure.recentVehicleLocationN1.reset();
       },
       "MSD version 3 needs N1 and N2"},
      {[](ECallMessage& m) {
         m.msdVersion = 1;
         m.msdStructure.vehiclePropulsionStorageType[6] = true;
       },
       "otherStorage is not part of MSD version 1"},
      {[](ECallMessage& m) {
         m.optionalAdditionalData = AdditionalData{{1, 2}, {}, ERAAdditionalData{}};
       },
       "eraAdditionalData needs the OID 1.4.1 or 1.4.2"},
  };
  for (const auto& c : cases) {
    ECallMessage message = valid;
    c.spoil(message);
    const MsdEncoding encoding = EncodeMsd(message);
    EXPECT_EQ(encoding.error, c.error);
    EXPECT_TRUE(encoding.octets.empty());
  }
}

}  // namespace
