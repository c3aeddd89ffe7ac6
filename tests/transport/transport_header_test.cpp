#include <gtest/gtest.h>

#include <vector>

#include "transport/checksum.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kExample = {0x01, 0x00, 0x03, 0x0B, 0x00, 0x00, 0x00, 0x01, 0x00, 0x01, 0xB8};

uint8_t Validate(const Bytes& packet, TransportHeader& header) {
  return ValidateTransportHeader(packet.data(), static_cast<uint16_t>(packet.size()), header);
}

Bytes Routed(uint16_t pra, uint16_t rca, uint8_t ttl) {
  Bytes p = {0x01, 0x00, 0x20, 0x10, 0x00, 0x00, 0x00, 0x07, 0x00, 0x01,
             static_cast<uint8_t>(pra), static_cast<uint8_t>(pra >> 8),
             static_cast<uint8_t>(rca), static_cast<uint8_t>(rca >> 8), ttl};
  p.push_back(Crc8(p.data(), 15));
  return p;
}

class TransportHeaderTest : public ::testing::Test {
 protected:
  void TearDown() override { TPAddress = 0; }
};

TEST_F(TransportHeaderTest, ExampleHeaderIsSound) {
  TransportHeader h;
  EXPECT_EQ(Validate(kExample, h), 0);
  EXPECT_EQ(h.HL, 11);
  EXPECT_EQ(h.flags, 0x03);
  EXPECT_EQ(h.PID, 1);
  EXPECT_EQ(h.PT, 1);
  EXPECT_EQ(h.HCS, 0xB8);
}

TEST_F(TransportHeaderTest, TooShortStoresNothing) {
  TransportHeader h;
  Bytes ten(kExample.begin(), kExample.begin() + 10);
  EXPECT_EQ(Validate(ten, h), EGTS::EGTS_PC_INVDATALEN);
  EXPECT_EQ(h.PRV, 1);
  EXPECT_EQ(h.flags, 0);
  EXPECT_EQ(h.HL, 0);
}

TEST_F(TransportHeaderTest, VersionAndPrefixFailBeforeHeaderLength) {
  for (const auto& [index, value] : {std::pair{0, 0x02}, {2, 0x40}, {2, 0x80}}) {
    Bytes p = kExample;
    p[index] = static_cast<uint8_t>(value);
    p[3] = 12;  // would fail later with 131
    TransportHeader h;
    EXPECT_EQ(Validate(p, h), EGTS::EGTS_PC_UNS_PROTOCOL);
    EXPECT_EQ(h.HL, 0) << "HL must not be stored yet";
  }
}

TEST_F(TransportHeaderTest, HeaderLengthOtherThan11Or16) {
  Bytes p = kExample;
  p[3] = 12;
  p[10] = Crc8(p.data(), 10);
  TransportHeader h;
  EXPECT_EQ(Validate(p, h), EGTS::EGTS_PC_INC_HEADERFORM);
  EXPECT_EQ(h.HL, 12);
  EXPECT_EQ(h.HCS, 0) << "HCS is not read before HL is sound";
}

TEST_F(TransportHeaderTest, EveryCoveredByteChangeFailsTheCheckSum) {
  for (int index : {1, 4, 5, 6, 7, 8, 9, 10}) {
    Bytes p = kExample;
    p[index] ^= 0x10;
    TransportHeader h;
    EXPECT_EQ(Validate(p, h), EGTS::EGTS_PC_HEADERCRC_ERROR) << "byte " << index;
  }
}

TEST_F(TransportHeaderTest, FrameDataLengthIsNotCheckedHere) {
  Bytes p = kExample;
  p[5] = 0x2C;  // FDL 300
  p[6] = 0x01;
  p[10] = Crc8(p.data(), 10);
  TransportHeader h;
  EXPECT_EQ(Validate(p, h), 0);
  EXPECT_EQ(h.FDL, 300);
}

TEST_F(TransportHeaderTest, LengthAndRouteFlagDisagree) {
  // HL 16 with RTE 0: the sum covers 15 bytes but HCS sits at offset 10.
  Bytes p = kExample;
  p[3] = 16;
  p.resize(16, 0);
  TransportHeader h;
  EXPECT_EQ(Validate(p, h), EGTS::EGTS_PC_HEADERCRC_ERROR);
}

TEST_F(TransportHeaderTest, RoutedHeaderOnFewerThan16BytesFailsWithoutOverread) {
  Bytes routed = Routed(1, 2, 5);
  for (size_t n = 11; n < 16; ++n) {
    Bytes part(routed.begin(), routed.begin() + static_cast<long>(n));
    TransportHeader h;
    EXPECT_EQ(Validate(part, h), EGTS::EGTS_PC_INVDATALEN) << n << " bytes";
  }
}

TEST_F(TransportHeaderTest, RoutedHeaderFieldsAndRoutingRule) {
  TransportHeader h;
  EXPECT_EQ(Validate(Routed(0x0102, 0x0304, 5), h), 0);
  EXPECT_EQ(h.PRA, 0x0102);
  EXPECT_EQ(h.RCA, 0x0304);
  EXPECT_EQ(h.TTL, 5);
  EXPECT_EQ(h.HCS, 0x66);

  // No address configured: every packet is taken as ours, whatever its TTL.
  EXPECT_EQ(Validate(Routed(1, 0x0304, 0), h), 0);
  TPAddress = 0x0304;
  EXPECT_EQ(Validate(Routed(1, 0x0304, 0), h), 0) << "addressed to us";
  TPAddress = 77;
  EXPECT_EQ(Validate(Routed(1, 0x0304, 1), h), 0) << "to forward, TTL left";
  EXPECT_EQ(Validate(Routed(1, 0x0304, 0), h), EGTS::EGTS_PC_TTLEXPIRED);
  EXPECT_EQ(TPAddress, 77) << "the check never changes the address";
}

}  // namespace
