#include <gtest/gtest.h>

#include <cstring>

#include "transport/checksum.h"

namespace {

const uint8_t kCheck[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};

TEST(Checksum, Crc8CheckValueAndEmpty) {
  EXPECT_EQ(Crc8(kCheck, 9), 0xF7);
  EXPECT_EQ(Crc8(kCheck, 0), 0xFF);
}

TEST(Checksum, Crc16CheckValueAndEmpty) {
  EXPECT_EQ(Crc16(kCheck, 9), 0x29B1);
  EXPECT_EQ(Crc16(kCheck, 0), 0xFFFF);
}

TEST(Checksum, Crc8OfExampleHeader) {
  const uint8_t header[] = {0x01, 0x00, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01};
  EXPECT_EQ(Crc8(header, 10), 0xB8);
}

}  // namespace
