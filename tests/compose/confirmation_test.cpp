// Confirmations of received packets, against packets built byte by byte.

#include <gtest/gtest.h>

#include <vector>

#include "compose/confirmation.h"
#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

namespace {

using namespace testing_support;

// SA 2; point 1 without data; point 2 with data.
const Bytes kTrackData = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0xA3, 0x00, 0x00,
                          0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xD2, 0x84, 0x10};

struct Received {
  TransportHeader header;
  PacketHolder holder;
  uint8_t parsed = 0;
};

void Parse(const Bytes& packet, Received& received) {
  ASSERT_EQ(ValidateTransportHeader(packet.data(), static_cast<uint16_t>(packet.size()),
                                    received.header),
            EGTS::EGTS_PC_OK);
  received.parsed = ParseFrameData(packet.data(), static_cast<uint16_t>(packet.size()),
                                   received.header, received.holder);
}

Bytes Confirmation(const Received& received, ConfirmationCounters& counters) {
  EGTS::bytestream out;
  EXPECT_EQ(ComposeConfirmation(received.header, received.parsed, received.holder, counters, out),
            EGTS::EGTS_PC_OK);
  return out.bytes;
}

// RPID and PR, then the records.
Bytes ResponseFrame(uint16_t rpid, uint8_t pr, const Bytes& records = {}) {
  Bytes frame;
  PutU16(frame, rpid);
  frame.push_back(pr);
  frame.insert(frame.end(), records.begin(), records.end());
  return frame;
}

Bytes ResponseRecord(uint16_t rn, uint8_t sst, uint8_t rst, uint16_t crn, uint8_t status) {
  RecordFields fields;
  fields.RN = rn;
  fields.SST = sst;
  fields.RST = rst;
  Bytes srd;
  PutU16(srd, crn);
  srd.push_back(status);
  return RecordBytes(fields, SubrecordBytes(0, srd));
}

TEST(Confirmation, AnswersEveryRecordWithItsStatus) {
  RecordFields first;
  first.RN = 21;
  first.SST = 4;
  first.RST = 10;
  RecordFields second = first;
  second.RN = 22;
  second.SST = 10;
  second.RST = 10;
  // TRACK_DATA announcing two points and holding none: the subrecord fails,
  // and so the record's status is that failure.
  const Bytes shortTrack(kTrackData.begin(), kTrackData.begin() + 5);
  const Bytes packet = PacketBytes(
      1, Concat({RecordBytes(first, SubrecordBytes(62, kTrackData)),
                 RecordBytes(second, SubrecordBytes(62, shortTrack))}),
      0x1234);
  Received received;
  Parse(packet, received);
  ASSERT_EQ(received.parsed, EGTS::EGTS_PC_OK);
  ASSERT_EQ(received.holder.packet->records.size(), 2u);
  const uint8_t failed = RecordStatus(received.holder.packet->records[1]);
  ASSERT_NE(failed, EGTS::EGTS_PC_OK);

  ConfirmationCounters counters;
  EXPECT_EQ(Confirmation(received, counters),
            PacketBytes(0,
                        ResponseFrame(0x1234, 0,
                                      Concat({ResponseRecord(1, 10, 4, 21, 0),
                                              ResponseRecord(2, 10, 10, 22, failed)})),
                        1));
  // The counters go on from packet to packet.
  EXPECT_EQ(Confirmation(received, counters),
            PacketBytes(0,
                        ResponseFrame(0x1234, 0,
                                      Concat({ResponseRecord(3, 10, 4, 21, 0),
                                              ResponseRecord(4, 10, 10, 22, failed)})),
                        2));
}

TEST(Confirmation, AFrameThatFailsItsCheckIsAnsweredWithoutRecords) {
  RecordFields fields;
  fields.SST = fields.RST = 10;
  Bytes packet = PacketBytes(1, RecordBytes(fields, SubrecordBytes(62, kTrackData)), 7);
  packet.back() ^= 0xFF;  // SFRCS
  Received received;
  Parse(packet, received);
  ASSERT_EQ(received.parsed, EGTS::EGTS_PC_DATACRC_ERROR);
  ConfirmationCounters counters;
  EXPECT_EQ(Confirmation(received, counters),
            PacketBytes(0, ResponseFrame(7, EGTS::EGTS_PC_DATACRC_ERROR), 1));
}

TEST(Confirmation, OnlySoundPacketsThatAreNoConfirmationsAreConfirmed) {
  TransportHeader header;
  header.PT = 1;
  EXPECT_TRUE(NeedsConfirmation(EGTS::EGTS_PC_OK, header));
  EXPECT_FALSE(NeedsConfirmation(EGTS::EGTS_PC_HEADERCRC_ERROR, header));
  header.PT = 0;
  EXPECT_FALSE(NeedsConfirmation(EGTS::EGTS_PC_OK, header));
  header.PT = 2;
  EXPECT_TRUE(NeedsConfirmation(EGTS::EGTS_PC_OK, header));
  EXPECT_FALSE(NeedsConfirmation(EGTS::EGTS_PC_TTLEXPIRED, header));
}

}  // namespace
