#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/packet_input.h"

namespace {

std::vector<uint8_t> FromText(const std::string& text) {
  std::FILE* f = std::tmpfile();
  std::fwrite(text.data(), 1, text.size(), f);
  std::rewind(f);
  auto bytes = ReadHexPacket(f);
  std::fclose(f);
  return bytes;
}

using Bytes = std::vector<uint8_t>;

TEST(HexInput, UnbrokenPairsBothCases) {
  EXPECT_EQ(FromText("0100"), (Bytes{0x01, 0x00}));
  EXPECT_EQ(FromText("aBfF"), (Bytes{0xAB, 0xFF}));
}

TEST(HexInput, SeparatorsAndLineBreaksAreSkipped) {
  EXPECT_EQ(FromText("01 00 03 0B"), (Bytes{0x01, 0x00, 0x03, 0x0B}));
  EXPECT_EQ(FromText("01\r\n00\t03\n0B\n"), (Bytes{0x01, 0x00, 0x03, 0x0B}));
  EXPECT_EQ(FromText("01 02"), (Bytes{0x01, 0x02}));
}

TEST(HexInput, BadPairsSkippedAndTrailingDigitDropped) {
  EXPECT_TRUE(FromText("zz").empty());
  EXPECT_EQ(FromText("zz01"), (Bytes{0x01}));
  EXPECT_EQ(FromText("010"), (Bytes{0x01}));
  EXPECT_EQ(FromText("0z"), (Bytes{0x00})) << "a leading digit converts alone";
}

TEST(HexInput, PairConversionFollowsScanningRules) {
  uint8_t b = 0;
  EXPECT_TRUE(ConvertHexPair('+', '5', b));
  EXPECT_EQ(b, 0x05);
  EXPECT_TRUE(ConvertHexPair('-', '1', b));
  EXPECT_EQ(b, 0xFF);
  EXPECT_FALSE(ConvertHexPair('g', '1', b));
  EXPECT_FALSE(ConvertHexPair('-', 'x', b));
}

TEST(RawFile, MissingFileGivesOpenError) {
  std::vector<uint8_t> packet;
  std::string message;
  EXPECT_FALSE(ReadRawPacketFile("/nonexistent/korvane/packet.bin", packet, message));
  EXPECT_EQ(message, "ERROR: can not open file '/nonexistent/korvane/packet.bin' 2\n");
  EXPECT_TRUE(packet.empty());
}

TEST(RawFile, DirectoryIsReportedNotReadAsEmpty) {
  std::vector<uint8_t> packet;
  std::string message;
  EXPECT_FALSE(ReadRawPacketFile("/tmp", packet, message));
  EXPECT_EQ(message, "ERROR: can not open file '/tmp' 21\n");
}

}  // namespace
