#include "service/ecall/era_data.h"

#include <gtest/gtest.h>

#include "service/ecall/msd_decoder.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_samples.h"

namespace {

using namespace EGTS::Msd;
using msd_samples::Bytes;

Bytes EncodeEra(const ERAAdditionalData& era, EraForm form, bool explicitDefaults = false) {
  Bytes out;
  EXPECT_EQ(EncodeEraData(era, form, explicitDefaults, out), "");
  return out;
}

// crashSeverity 1024 alone: bits 0 100 10000000000, padded.
TEST(EraData, WorkedExampleInsideAnMsd) {
  ERAAdditionalData era;
  era.crashSeverity = 1024;
  EXPECT_EQ(EncodeEra(era, EraForm::kMsdV1), (Bytes{0x48, 0x00}));
  const EraDecoding decoded = DecodeEraData({0x48, 0x00}, EraForm::kMsdV1);
  EXPECT_TRUE(decoded.findings.empty());
  EXPECT_EQ(decoded.era, era);

  // Carried by vector A's message after its last field, not octet-aligned:
  // the same bits as AdditionalData 03 01 04 01 02 48 00 sent as plain data.
  ECallMessage withEra = msd_samples::VectorAMessage();
  withEra.optionalAdditionalData = AdditionalData{EraOid(EraForm::kMsdV1), {}, era};
  ECallMessage withBytes = withEra;
  withBytes.optionalAdditionalData = AdditionalData{{1, 4, 1}, {0x48, 0x00}, {}};
  const Bytes bytes = EncodeMsd(withEra).octets;
  EXPECT_EQ(bytes, EncodeMsd(withBytes).octets);
  const MsdDecoding d = DecodeMsd(bytes.data(), bytes.size());
  EXPECT_TRUE(d.findings.empty());
  EXPECT_EQ(d.message, withEra);
  EXPECT_EQ(d.additionalDataOctets, (Bytes{0x48, 0x00}));
}

// OPTIONAL flags that are not sent stay absent; the DEFAULT coordinate
// system decodes alike whether sent or not.
TEST(EraData, AbsentFlagsAndTheDefaultCoordinateSystem) {
  ERAAdditionalData era;
  era.diagnosticResult.emplace();
  (*era.diagnosticResult)[0] = false;
  (*era.diagnosticResult)[20] = true;
  era.crashInfo.emplace();
  const Bytes canonical = EncodeEra(era, EraForm::kMsdV2);
  const Bytes sent = EncodeEra(era, EraForm::kMsdV2, true);
  EXPECT_NE(canonical, sent);
  for (const Bytes& bytes : {canonical, sent}) {
    const EraDecoding decoded = DecodeEraData(bytes, EraForm::kMsdV2);
    ASSERT_TRUE(decoded.era);
    EXPECT_EQ(*decoded.era, era);
    EXPECT_FALSE((*decoded.era->diagnosticResult)[1].has_value());
    EXPECT_FALSE(decoded.era->crashSeverity.has_value());
  }
  era.coordinateSystemType = CoordinateSystemType::pz90;
  EXPECT_EQ(DecodeEraData(EncodeEra(era, EraForm::kMsdV2), EraForm::kMsdV2).era, era);

  Bytes out;
  EXPECT_EQ(EncodeEraData(era, EraForm::kMsdV1, false, out),
            "coordinateSystemType pz90 needs the OID 1.4.2");
  era.coordinateSystemType = CoordinateSystemType::wgs84;
  era.crashSeverity = 2048;
  EXPECT_EQ(EncodeEraData(era, EraForm::kMsdV2, false, out), "crashSeverity is above 2047");
}

TEST(EraData, FindingsOfTheDecoding) {
  const EraDecoding cut = DecodeEraData({0x60}, EraForm::kMsdV1);
  EXPECT_FALSE(cut.era);
  EXPECT_EQ(cut.findings, std::vector<std::string>{
                              "eraAdditionalData truncated in crashSeverity after 4 bits: its "
                              "data is shown as bytes"});
  const EraDecoding extended = DecodeEraData({0x80}, EraForm::kMsdV1);
  EXPECT_TRUE(extended.era);
  EXPECT_EQ(extended.findings,
            std::vector<std::string>{
                "extension bit of eraAdditionalData set: its additions are not decoded"});
  EXPECT_EQ(DecodeEraData({0x48, 0x01}, EraForm::kMsdV1).findings,
            std::vector<std::string>{"padding bits of eraAdditionalData are not zero (1)"});
  EXPECT_EQ(DecodeEraData({0x48, 0x00, 0x00}, EraForm::kMsdV1).findings,
            std::vector<std::string>{"1 byte after eraAdditionalData"});

  // In an MSD, data that does not decode as ERA data is kept as bytes.
  ECallMessage message = msd_samples::VectorBMessage();
  message.optionalAdditionalData = AdditionalData{{1, 4, 2}, {0x70}, {}};
  const Bytes bytes = EncodeMsd(message).octets;
  const MsdDecoding d = DecodeMsd(bytes.data(), bytes.size());
  EXPECT_EQ(d.message, message);
  EXPECT_EQ(d.findings.size(), 1u);
}

}  // namespace
