#include <gtest/gtest.h>

#include "compose/packet_serializer.h"
#include "service/ecall/subrecord_ecall_msd_data.h"
#include "service/wrapped/subrecord_wrapped_data.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

using namespace EGTS;
using testing_support::Bytes;

namespace {

TransportHeader Header(uint8_t pt, uint16_t fdl) {
  TransportHeader h;
  h.PID = 7;
  h.PT = pt;
  h.FDL = fdl;
  return h;
}

Bytes Serialize(TransportHeader& h, PacketHolder& holder, uint8_t expected = 0) {
  bytestream out;
  EXPECT_EQ(SerializePacket(out, h, holder), expected);
  return out.bytes;
}

TEST(SerializePacket, HeaderOnlyAndRoutedHeader) {
  PacketHolder holder;
  TransportHeader h = Header(1, 0);
  h.HL = 99;  // ignored: written from RTE
  EXPECT_EQ(Serialize(h, holder),
            (Bytes{0x01, 0x00, 0x00, 0x0B, 0x00, 0x00, 0x00, 0x07, 0x00, 0x01, 0xC6}));
  EXPECT_EQ(h.HL, 11);

  h.flags = 0x20;
  h.PRA = 0x0102;
  h.RCA = 0x0304;
  h.TTL = 5;
  EXPECT_EQ(Serialize(h, holder), (Bytes{0x01, 0x00, 0x20, 0x10, 0x00, 0x00, 0x00, 0x07, 0x00,
                                         0x01, 0x02, 0x01, 0x04, 0x03, 0x05, 0x66}));
  EXPECT_EQ(h.HL, 16);
}

TEST(SerializePacket, VersionAndPrefixRefusedWithEmptyStream) {
  PacketHolder holder;
  TransportHeader h = Header(1, 0);
  h.PRV = 2;
  EXPECT_TRUE(Serialize(h, holder, EGTS_PC_UNS_PROTOCOL).empty());
  h.PRV = 1;
  h.flags = 0x40;
  EXPECT_TRUE(Serialize(h, holder, EGTS_PC_UNS_PROTOCOL).empty());
}

TEST(SerializePacket, FrameDataFailures) {
  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 2));
  auto& signedPacket = static_cast<Packet_Signed_Appdata&>(*holder.packet);
  signedPacket.SIGL = 4;
  signedPacket.SIGD = {1, 2};
  TransportHeader h = Header(2, 1);
  Serialize(h, holder, EGTS_PC_INVDATALEN);

  h = Header(5, 1);
  Serialize(h, holder, EGTS_PC_UNS_TYPE);

  ASSERT_TRUE(CreatePacket(holder, 1));
  Record record;
  record.subrecords.emplace_back();  // an entry without object
  holder.packet->records.push_back(record);
  h = Header(1, 1);
  Serialize(h, holder, EGTS_PC_NO_RES_AVAIL);
}

TEST(SerializePacket, LengthsComeFromTheEncodedBytes) {
  // An MSD whose EncodedLength overstates what Encode writes (56-byte cap).
  auto msd = std::make_unique<Subrecord_ECALL_MSD_DATA>();
  Bytes srd(34, 0);
  srd.resize(34 + 9 + 60, 0x41);
  ASSERT_EQ(msd->Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  ASSERT_EQ(msd->EncodedLength(), 103);

  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 0));
  Record record;
  record.RFL = 0x04;
  record.TM = 0x01020304;
  record.RST = 10;
  Subrecord_Entry entry;
  entry.SRT = 50;
  entry.SRL = msd->EncodedLength();
  entry.object = std::move(msd);
  record.subrecords.push_back(std::move(entry));
  holder.packet->records.push_back(std::move(record));
  TransportHeader h = Header(0, holder.packet->FrameDataLength());
  const Bytes out = Serialize(h, holder);

  const size_t fdl = 3 + 11 + 3 + 99;
  ASSERT_EQ(out.size(), 11 + fdl + 2);
  EXPECT_EQ(h.FDL, fdl);
  EXPECT_EQ(out[5] | (out[6] << 8), static_cast<int>(fdl));
  const size_t recordStart = 11 + 3;
  EXPECT_EQ(out[recordStart] | (out[recordStart + 1] << 8), 3 + 99) << "RL";
  EXPECT_EQ(out[recordStart + 12] | (out[recordStart + 13] << 8), 99) << "SRL";

  TransportHeader check;
  ASSERT_EQ(ValidateTransportHeader(out.data(), static_cast<uint16_t>(out.size()), check), 0);
  EXPECT_EQ(holder.SFRCS, out[out.size() - 2] | (out[out.size() - 1] << 8));
}

// Appends a record of the NIP service holding one WRAPPED_DATA subrecord
// with `dataBytes` bytes of data.
void AddWrappedRecord(PacketHolder& holder, size_t dataBytes) {
  auto wrapped = std::make_unique<Subrecord_WRAPPED_DATA>();
  wrapped->data = std::make_shared<bytestream>();
  const Bytes block(dataBytes, 0x55);
  WriteBytes(*wrapped->data, block.data(), block.size());
  wrapped->SetPhoneNumber(std::string(20, '7'));
  Record record;
  record.RST = 17;
  Subrecord_Entry entry;
  entry.SRT = 57;
  entry.object = std::move(wrapped);
  record.subrecords.push_back(std::move(entry));
  holder.packet->records.push_back(std::move(record));
}

TEST(SerializePacket, SubrecordLongerThan16BitsIsRefused) {
  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 1));
  AddWrappedRecord(holder, 66000);
  TransportHeader h = Header(1, 1);
  Serialize(h, holder, EGTS_PC_INVDATALEN);
}

TEST(SerializePacket, FrameDataLongerThan16BitsIsRefused) {
  PacketHolder holder;
  ASSERT_TRUE(CreatePacket(holder, 1));
  AddWrappedRecord(holder, 40000);
  AddWrappedRecord(holder, 40000);
  TransportHeader h = Header(1, 1);
  bytestream out;
  EXPECT_NE(SerializePacket(out, h, holder), 0) << "never written with a wrapped FDL";
}

}  // namespace
