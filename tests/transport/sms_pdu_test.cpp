#include "transport/sms_pdu.h"

#include <gtest/gtest.h>

#include "support/packet_builder.h"

namespace {

using testing_support::Bytes;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// A command packet of the given frame data length (a COMMANDS record with
// filler data): what the platform sends by SMS.
Bytes CommandPacket(std::size_t filler) {
  using namespace testing_support;
  const Bytes record = RecordBytes({.RN = 7, .SST = 4, .RST = 4},
                                   SubrecordBytes(51, Bytes(filler, 0x5A)));
  return PacketBytes(1, record, 9);
}

Bytes Decode(const std::vector<Bytes>& pdus, std::size_t& waitingBeforeLast) {
  sms::Assembler assembler;
  std::optional<Bytes> whole;
  for (const Bytes& pdu : pdus) {
    waitingBeforeLast = assembler.Waiting();
    std::string error;
    const auto message = sms::Parse(pdu, error);
    EXPECT_TRUE(message) << error;
    if (message) whole = assembler.Add(*message);
  }
  return whole.value_or(Bytes{});
}

TEST(SmsPdu, CommandInOneSmsIsOneSubmitAndDecodesBack) {
  const Bytes packet = CommandPacket(60);
  std::string error;
  const auto pdus = sms::BuildSubmit("+79161234567", packet, 1, error);
  ASSERT_EQ(pdus.size(), 1u) << error;
  // SCA 00, FO 01 (SUBMIT, no header), MR 00, DA 11 digits international,
  // PID 00, DCS 04, UDL = the packet's length.
  const Bytes head = FromHex("000100" "0B91" "9761214365F7" "0004");
  EXPECT_EQ(Bytes(pdus[0].begin(), pdus[0].begin() + head.size()), head);
  EXPECT_EQ(pdus[0][head.size()], packet.size());
  std::size_t waiting = 0;
  EXPECT_EQ(Decode(pdus, waiting), packet);
  const auto message = sms::Parse(pdus[0], error);
  ASSERT_TRUE(message);
  EXPECT_FALSE(message->deliver);
  EXPECT_EQ(message->address, "+79161234567");
  EXPECT_FALSE(message->concatenation);
}

TEST(SmsPdu, LongCommandIsConcatenatedAndDecodesBackInAnyOrder) {
  const Bytes packet = CommandPacket(300);  // 300 + 3 + 7 + 11 + 2 bytes: three parts
  std::string error;
  auto pdus = sms::BuildSubmit("112", packet, 0x42, error);
  ASSERT_EQ(pdus.size(), 3u) << error;
  for (std::size_t i = 0; i < pdus.size(); ++i) {
    EXPECT_EQ(pdus[i][1], 0x41);  // UDHI set
    const auto message = sms::Parse(pdus[i], error);
    ASSERT_TRUE(message) << error;
    ASSERT_TRUE(message->concatenation);
    EXPECT_EQ(message->concatenation->reference, 0x42);
    EXPECT_EQ(message->concatenation->total, 3);
    EXPECT_EQ(message->concatenation->sequence, i + 1);
    EXPECT_LE(pdus[i].size() - 10, sms::kUserDataOctets);  // 00 41 00 03 81 11F2 00 04 UDL
  }
  std::swap(pdus[0], pdus[2]);
  std::size_t waitingBeforeLast = 0;
  EXPECT_EQ(Decode(pdus, waitingBeforeLast), packet);
  EXPECT_EQ(waitingBeforeLast, 2u);
}

TEST(SmsPdu, DeliverWithCentreTimeAndSixteenBitReferenceIsRead) {
  // SMSC +79168999100, DELIVER with UDHI, OA +79161234567, DCS F4 (8-bit),
  // SCTS 26-12-08 20:15:30 +12 quarter hours, header IEI 08 (ref 0x0102,
  // part 2 of 2), data 01 02 03.
  const Bytes pdu = FromHex("07919761989919F0" "40" "0B919761214365F7" "00F4" "62218002510321"
                            "0A" "0608040102020201" "0203");
  std::string error;
  const auto message = sms::Parse(pdu, error);
  ASSERT_TRUE(message) << error;
  EXPECT_TRUE(message->deliver);
  EXPECT_EQ(message->address, "+79161234567");
  EXPECT_EQ(message->centreTime, "26-12-08 20:15:30 +12");
  ASSERT_TRUE(message->concatenation);
  EXPECT_EQ(message->concatenation->reference, 0x0102);
  EXPECT_EQ(message->concatenation->sequence, 2);
  EXPECT_EQ(message->data, (Bytes{0x01, 0x02, 0x03}));
}

TEST(SmsPdu, FaultsAreNamed) {
  std::string error;
  // The well-known 7-bit "How are you?" DELIVER: text, no EGTS packet.
  EXPECT_FALSE(sms::Parse(FromHex("07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"),
                          error));
  EXPECT_NE(error.find("not 8-bit data"), std::string::npos) << error;
  EXPECT_FALSE(sms::Parse(FromHex("00010003811122000405AABB"), error));  // UDL 5, two octets
  EXPECT_NE(error.find("TP-UDL says 5"), std::string::npos) << error;
  EXPECT_FALSE(sms::Parse(FromHex("0002"), error));  // SMS-STATUS-REPORT
  EXPECT_NE(error.find("TP-MTI 2"), std::string::npos) << error;
  EXPECT_FALSE(sms::Parse(FromHex("0041000381112200040705000342020301"), error));  // part 3 of 2
  EXPECT_NE(error.find("part 3 of 2"), std::string::npos) << error;
  EXPECT_TRUE(sms::BuildSubmit("12a", Bytes{1}, 0, error).empty());
  EXPECT_TRUE(sms::BuildSubmit("1", Bytes(256 * sms::kConcatDataOctets, 0), 0, error).empty());
  EXPECT_NE(error.find("more than 255 SMS"), std::string::npos);
}

}  // namespace
