#include <gtest/gtest.h>

#include "service/packet.h"

using namespace EGTS;

TEST(CreatePacket, UnknownTypeDeletesEarlierPacket) {
  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 1));
  EXPECT_FALSE(CreatePacket(holder, 3));
  EXPECT_EQ(holder.type, -1);
  EXPECT_EQ(holder.packet, nullptr);
}

TEST(CreatePacket, SecondCallReplacesTheClass) {
  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 0));
  static_cast<Packet_Response&>(*holder.packet).RPID = 9;
  ASSERT_TRUE(CreatePacket(holder, 2));
  EXPECT_EQ(holder.type, 2);
  auto* signedPacket = dynamic_cast<Packet_Signed_Appdata*>(holder.packet.get());
  ASSERT_NE(signedPacket, nullptr);
  EXPECT_EQ(signedPacket->SIGL, 0);
  EXPECT_TRUE(signedPacket->SIGD.empty());
  ReleasePacket(holder);
  EXPECT_EQ(holder.packet, nullptr);
}

TEST(FrameDataLength, TypeFieldsAndRecordHeaders) {
  Packet_Response response;
  EXPECT_EQ(response.FrameDataLength(), 3);
  Packet_Appdata appdata;
  EXPECT_EQ(appdata.FrameDataLength(), 0);

  Record record;
  record.RFL = 0x07;
  record.subrecords.emplace_back();  // an entry without object counts 3
  appdata.records.push_back(record);
  EXPECT_EQ(appdata.FrameDataLength(), 22);
  EXPECT_EQ(appdata.records[0].RL, 3) << "RL is stored on the way";
  appdata.records[0].RFL = 0x01;
  EXPECT_EQ(appdata.FrameDataLength(), 14);

  Packet_Signed_Appdata signedPacket;
  signedPacket.SIGL = 10;
  signedPacket.SIGD = {1, 2, 3, 4};
  EXPECT_EQ(signedPacket.FrameDataLength(), 6);
}
