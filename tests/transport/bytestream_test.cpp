#include <gtest/gtest.h>

#include "transport/bytestream.h"

using EGTS::bytestream;

TEST(Bytestream, AppendsLittleEndian) {
  bytestream s;
  s.AppendU16(0x1234);
  s.AppendU32(0x12345678);
  s.AppendByte(0xAB);
  EXPECT_EQ(s.bytes, (std::vector<uint8_t>{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xAB}));
  EXPECT_EQ(s.position, 7u);
}

TEST(Bytestream, PatchU16NeedsTwoBytesAtOffset) {
  bytestream s;
  for (int i = 0; i < 6; ++i) s.AppendByte(0);
  EXPECT_FALSE(s.PatchU16(5, 0xBEEF));
  EXPECT_EQ(s.bytes, std::vector<uint8_t>(6, 0));
  s.AppendByte(0);
  EXPECT_TRUE(s.PatchU16(5, 0xBEEF));
  EXPECT_EQ(s.bytes[5], 0xEF);
  EXPECT_EQ(s.bytes[6], 0xBE);
  EXPECT_EQ(s.position, 7u);
}

TEST(Bytestream, WriteBlockOfZeroChangesNothingAndResetEmpties) {
  bytestream s;
  s.AppendByte(1);
  const uint8_t block[] = {7, 8, 9};
  s.WriteBlock(block, 0);
  EXPECT_EQ(s.position, 1u);
  EXPECT_EQ(s.bytes.size(), 1u);
  s.WriteBlock(block, 3);
  EXPECT_EQ(s.bytes, (std::vector<uint8_t>{1, 7, 8, 9}));
  EXPECT_EQ(s.position, 4u);
  s.Reset();
  EXPECT_EQ(s.position, 0u);
  EXPECT_TRUE(s.bytes.empty());
}
