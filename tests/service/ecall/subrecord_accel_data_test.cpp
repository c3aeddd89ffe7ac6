#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/ecall/subrecord_accel_data.h"
#include "transport/bytestream.h"

namespace {

using EGTS::Subrecord_ACCEL_DATA;

// SA 2, ATM 0; structure 1: RTM 600, X 0x8005, Y 0x0064, Z 0;
// structure 2: RTM 500, X 0, Y 0x7FFF, Z 0x0001.
const std::vector<uint8_t> kTwoStructures = {
    0x02, 0x00, 0x00, 0x00, 0x00,                    //
    0x58, 0x02, 0x05, 0x80, 0x64, 0x00, 0x00, 0x00,  //
    0xF4, 0x01, 0x00, 0x00, 0xFF, 0x7F, 0x01, 0x00};

const char kTwoStructuresReport[] =
    "       Structures Amount      - 2\n"
    "       Absolute Time          - 0x00000000 (01.01.2010 00:00:00.000 GMT)\n"
    "       Accelerometr Data Structures:\n"
    "       -----------------------------\n"
    "                              1\n"
    "           Relative Time      - [600 ms] (01.01.2010 00:00:00.600 GMT)\n"
    "           XAAV               - 0x8005 -0.5m/c2\n"
    "           YAAV               - 0x0064  10.0m/c2\n"
    "           ZAAV               - 0x0000  0.0m/c2\n"
    "\n"
    "           ------------------\n"
    "                              2\n"
    "           Relative Time      - [500 ms] (01.01.2010 00:00:01.100 GMT)\n"
    "           XAAV               - 0x0000  0.0m/c2\n"
    "           YAAV               - 0x7FFF  3276.7m/c2\n"
    "           ZAAV               - 0x0001  0.1m/c2\n"
    "\n"
    "           ------------------\n";

std::vector<uint8_t> OneStructure(uint8_t sa, size_t srl) {
  std::vector<uint8_t> srd(srl, 0x11);
  srd[0] = sa;
  return srd;
}

TEST(SubrecordAccelData, DecodeLengthsAndResultCodes) {
  Subrecord_ACCEL_DATA a;
  EXPECT_EQ(a.Decode(nullptr, 13), 134);

  auto srd = OneStructure(1, 13);
  EXPECT_EQ(a.Decode(srd.data(), 12), 139);
  EXPECT_EQ(a.Decode(srd.data(), 13), 0);
  ASSERT_EQ(a.StructureCount(), 1u);
  EXPECT_EQ(a.StructureAt(0).RTM, 0x1111);

  srd = OneStructure(2, 13);
  EXPECT_EQ(a.Decode(srd.data(), 13), 139);

  srd = OneStructure(0, 13);
  EXPECT_EQ(a.Decode(srd.data(), 13), 132);

  // A second structure beyond SA is ignored.
  srd = OneStructure(1, 21);
  EXPECT_EQ(a.Decode(srd.data(), 21), 0);
  EXPECT_EQ(a.StructureCount(), 1u);
  EXPECT_EQ(a.SA(), 1);
  EXPECT_EQ(a.ATM(), 0x11111111u);

  // 20 bytes hold one whole structure and a part of the second.
  srd = OneStructure(2, 20);
  EXPECT_EQ(a.Decode(srd.data(), 20), 139);
}

TEST(SubrecordAccelData, RoundTripAndCopy) {
  Subrecord_ACCEL_DATA a;
  ASSERT_EQ(a.Decode(kTwoStructures.data(), static_cast<uint16_t>(kTwoStructures.size())), 0);
  ASSERT_EQ(a.StructureCount(), 2u);
  EXPECT_EQ(a.StructureAt(0).XAAV, 0x8005);
  EXPECT_EQ(a.StructureAt(1).RTM, 500);
  EXPECT_EQ(a.EncodedLength(), 21);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // Encode starts from an empty stream
  EXPECT_EQ(a.Encode(out), 0);
  EXPECT_EQ(out.bytes, kTwoStructures);
  EXPECT_EQ(out.position, 21u);

  Subrecord_ACCEL_DATA copy(a);
  copy.AddStructure({1, 0, 0, 0});
  EXPECT_EQ(a.StructureCount(), 2u);
  EXPECT_EQ(copy.ATM(), a.ATM());
  EXPECT_EQ(copy.StructureCount(), 3u);
  EXPECT_EQ(copy.StructureAt(1).RTM, 500);
}

TEST(SubrecordAccelData, EncodeSetsAmountAndRejectsEmptyList) {
  Subrecord_ACCEL_DATA a;
  EGTS::bytestream out;
  out.AppendByte(0xEE);
  EXPECT_EQ(a.Encode(out), 134);
  EXPECT_TRUE(out.bytes.empty());
  EXPECT_EQ(out.position, 0u);

  a.SetSA(9);
  a.SetATM(0x01020304);
  a.AddStructure({0x0A0B, 1, 2, 3});
  EXPECT_EQ(a.EncodedLength(), 13);
  EXPECT_EQ(a.Encode(out), 0);
  EXPECT_EQ(a.SA(), 1);
  const std::vector<uint8_t> expected = {0x01, 0x04, 0x03, 0x02, 0x01, 0x0B, 0x0A,
                                         0x01, 0x00, 0x02, 0x00, 0x03, 0x00};
  EXPECT_EQ(out.bytes, expected);
}

TEST(SubrecordAccelData, ReportReplacesTargetThenAppendsStructures) {
  Subrecord_ACCEL_DATA a;
  ASSERT_EQ(a.Decode(kTwoStructures.data(), static_cast<uint16_t>(kTwoStructures.size())), 0);
  std::string text = "stale content";
  a.Report(&text);
  EXPECT_EQ(text, kTwoStructuresReport);

}

TEST(SubrecordAccelData, ReportAbsoluteTimeWraps) {
  Subrecord_ACCEL_DATA a;
  a.SetSA(1);
  a.SetATM(3032663296u);  // 2010 epoch + ATM passes 2^32
  std::string text;
  a.Report(&text);
  EXPECT_EQ(text,
            "       Structures Amount      - 1\n"
            "       Absolute Time          - 0xB4C2C500 (01.01.1970 00:00:00.000 GMT)\n"
            "       Accelerometr Data Structures:\n"
            "       -----------------------------\n");

  a.SetATM(0x12345678);
  a.AddStructure({1999, 0, 0, 0});
  a.Report(&text);
  EXPECT_NE(text.find("(05.09.2019 22:51:36.000 GMT)\n"), std::string::npos);
  EXPECT_NE(text.find("[1999 ms] (05.09.2019 22:51:37.999 GMT)\n"), std::string::npos);
}

}  // namespace
