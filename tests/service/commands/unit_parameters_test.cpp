#include "service/commands/unit_parameters.h"

#include <gtest/gtest.h>

namespace EGTS {
namespace {

TEST(UnitParameters, TableIsOrderedByCodeAndNamesAreUnique) {
  const auto table = UnitParameters();
  ASSERT_FALSE(table.empty());
  for (std::size_t i = 1; i < table.size(); ++i) EXPECT_LT(table[i - 1].code, table[i].code);
  for (const UnitParameter& p : table) {
    EXPECT_EQ(FindParameter(p.code), &p);
    EXPECT_EQ(FindParameter(p.name), &p) << p.name;
    EXPECT_EQ(CheckValue(p, DefaultValue(p)), "") << p.name;
  }
  EXPECT_EQ(FindParameter(uint16_t{0x0209 + 0x1000}), nullptr);
  EXPECT_EQ(FindParameter("EGTS_NO_SUCH"), nullptr);
}

TEST(UnitParameters, CapturedCodesAndReadOnlyRows) {
  EXPECT_EQ(FindParameter("EGTS_GPRS_APN")->code, 0x0203);
  EXPECT_EQ(FindParameter("EGTS_SERVER_ADDRESS")->code, 0x0204);
  EXPECT_EQ(FindParameter("EGTS_ECALL_TEST_NUMBER")->code, 0x020D);
  EXPECT_EQ(FindParameter("EGTS_ECALL_DIAL_DURATION")->code, 0x021E);
  EXPECT_EQ(FindParameter("EGTS_UNIT_ID")->code, 0x0404);
  EXPECT_FALSE(FindParameter("EGTS_UNIT_ID")->readOnly);
  EXPECT_TRUE(FindParameter("EGTS_UNIT_IMEI")->readOnly);
  EXPECT_TRUE(FindParameter(uint16_t{0x0402})->readOnly);
}

TEST(UnitParameters, ValuesAreCheckedAgainstTypeAndRange) {
  const UnitParameter& mic = *FindParameter("EGTS_UNIT_MIC_LEVEL");
  EXPECT_EQ(CheckValue(mic, int32_t{10}), "");
  EXPECT_EQ(CheckValue(mic, int32_t{11}), "out of range 0..10");
  EXPECT_EQ(CheckValue(mic, std::string("5")), "INT expected");
  const UnitParameter& apn = *FindParameter("EGTS_GPRS_APN");
  EXPECT_EQ(CheckValue(apn, std::string(256, 'a')), "longer than 255 bytes");
  EXPECT_EQ(CheckValue(apn, true), "STRING expected");
  const UnitParameter& asi = *FindParameter("EGTS_ASI15_TRESHOLD");
  EXPECT_EQ(CheckValue(asi, 1.5f), "");
  EXPECT_EQ(CheckValue(asi, -1.0f), "out of range 0..100");
}

TEST(UnitParameters, EncodingsRoundTripAndWrongLengthsAreRefused) {
  const UnitParameter& id = *FindParameter("EGTS_UNIT_ID");
  EXPECT_EQ(EncodeValue(int32_t{10}), (std::vector<uint8_t>{0x0A, 0, 0, 0}));
  const std::vector<uint8_t> minusOne{0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(std::get<int32_t>(*DecodeValue(id, minusOne)), -1);
  EXPECT_FALSE(DecodeValue(id, std::vector<uint8_t>{1, 0}));
  const UnitParameter& on = *FindParameter("EGTS_ECALL_ON");
  EXPECT_EQ(EncodeValue(true), (std::vector<uint8_t>{1}));
  EXPECT_FALSE(DecodeValue(on, std::vector<uint8_t>{}));
  const UnitParameter& asi = *FindParameter("EGTS_ASI15_TRESHOLD");
  EXPECT_FLOAT_EQ(std::get<float>(*DecodeValue(asi, EncodeValue(1.8f))), 1.8f);
  const UnitParameter& number = *FindParameter("EGTS_ECALL_TEST_NUMBER");
  const std::vector<uint8_t> text{'+', '7', '9'};
  EXPECT_EQ(std::get<std::string>(*DecodeValue(number, text)), "+79");
  EXPECT_EQ(EncodeValue(std::string("+79")), text);
}

TEST(UnitParameters, OperatorTextReadsAsTheType) {
  const UnitParameter& mic = *FindParameter("EGTS_UNIT_MIC_LEVEL");
  EXPECT_EQ(std::get<int32_t>(*ParseValueText(mic, "7")), 7);
  EXPECT_FALSE(ParseValueText(mic, "7x"));
  EXPECT_FALSE(ParseValueText(mic, ""));
  const UnitParameter& on = *FindParameter("EGTS_ECALL_ON");
  EXPECT_FALSE(std::get<bool>(*ParseValueText(on, "false")));
  EXPECT_FALSE(ParseValueText(on, "yes"));
  EXPECT_EQ(ValueText(*ParseValueText(*FindParameter("EGTS_ASI15_TRESHOLD"), "2.5")), "2.5");
  EXPECT_EQ(ValueText(int32_t{-3}), "-3");
}

}  // namespace
}  // namespace EGTS
