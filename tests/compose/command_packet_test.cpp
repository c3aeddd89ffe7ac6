#include <gtest/gtest.h>

#include "compose/command_builder.h"
#include "compose/command_packet.h"
#include "service/record_parser.h"
#include "support/packet_builder.h"

using namespace EGTS;
using testing_support::Bytes;
using testing_support::ToBytes;

namespace {

Bytes Compose(const Subrecord_COMMAND_DATA& command, CommandCounters& counters) {
  bytestream out;
  EXPECT_EQ(ComposeCommandPacket(command, counters, out), 0);
  return out.bytes;
}

TEST(ComposeCommandPacket, EcallRequestByteForByte) {
  Subrecord_COMMAND_DATA command = BuildEcallReq("112", 1234, 1);
  command.SetCID(0x0102);
  CommandCounters counters{1, 1, 500};
  EXPECT_EQ(Compose(command, counters),
            (Bytes{0x01, 0x00, 0x00, 0x0B, 0x00, 0x1E, 0x00, 0x01, 0x00, 0x01, 0xA9, 0x13, 0x00,
                   0x01, 0x00, 0x59, 0xD2, 0x04, 0x00, 0x00, 0x04, 0x04, 0x33, 0x10, 0x00, 0x50,
                   0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x12,
                   0x01, 0x01, 0x09, 0xBF}));
  EXPECT_EQ(counters.packetId, 2u);
  EXPECT_EQ(counters.recordNumber, 2);
  EXPECT_EQ(counters.commandId, 500) << "a given CID leaves the counter alone";
}

TEST(ComposeCommandPacket, SelftestIntervalByteForByte) {
  Subrecord_COMMAND_DATA command = BuildSelftestInterval("112", 77, 1234);
  CommandCounters counters{1, 1, 0x09FF};  // CID 0 becomes the next identifier, 0x0A00
  EXPECT_EQ(Compose(command, counters),
            (Bytes{0x01, 0x00, 0x00, 0x0B, 0x00, 0x21, 0x00, 0x01, 0x00, 0x01, 0x48, 0x16,
                   0x00, 0x01, 0x00, 0x59, 0x4D, 0x00, 0x00, 0x00, 0x04, 0x04, 0x33, 0x13,
                   0x00, 0x50, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01,
                   0x00, 0x02, 0x08, 0x02, 0xD2, 0x04, 0x00, 0x00, 0xDA, 0xA8}));
  EXPECT_EQ(counters.commandId, 0x0A00);
}

TEST(ComposeCommandPacket, CountersAdvanceAndWrap) {
  CommandCounters counters{0x1FFFF, 0xFFFF, 0xFFFF};
  const Bytes packet = Compose(BuildSimPin("1", 1, 1), counters);
  EXPECT_EQ(packet[7] | (packet[8] << 8), 0xFFFF) << "PID is the low 16 bits";
  EXPECT_EQ(packet[13] | (packet[14] << 8), 0xFFFF) << "RN";
  EXPECT_EQ(packet[26], 0x00) << "CID wrapped to 0";
  EXPECT_EQ(counters.packetId, 0x20000u);
  EXPECT_EQ(counters.recordNumber, 0);
}

// Every command packet must pass our own checks and decode back to the
// command it was made from.
TEST(ComposeCommandPacket, EveryCommandRoundTrips) {
  const Subrecord_COMMAND_DATA commands[] = {
      BuildEcallReq("112", 1, 1),          BuildEcallMsdReq("112", 2, 7, 2),
      BuildUnitId("79001234567", 3, "secret"), BuildSimPin("112", 4, 1234),
      BuildSelftestInterval("112", 5, 60), BuildRadioMuteDelay("112", 6, 10),
      BuildRadioUnmuteDelay("112", 7, 20)};
  CommandCounters counters{10, 20, 30};
  for (const auto& command : commands) {
    const Bytes packet = Compose(command, counters);
    TransportHeader header;
    const uint16_t count = static_cast<uint16_t>(packet.size());
    ASSERT_EQ(ValidateTransportHeader(packet.data(), count, header), 0);
    PacketHolder holder;
    ASSERT_EQ(ParseFrameData(packet.data(), count, header, holder), 0);
    ASSERT_EQ(holder.packet->records.size(), 1u);
    const Record& record = holder.packet->records[0];
    EXPECT_EQ(record.OID, command.DEV_ID);
    EXPECT_EQ(record.RFL, 0x59);
    ASSERT_EQ(record.subrecords.size(), 1u);
    auto* decoded = dynamic_cast<Subrecord_COMMAND_DATA*>(record.subrecords[0].object.get());
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->CT(), 5);
    EXPECT_EQ(decoded->CID(), counters.commandId);
    EXPECT_EQ(decoded->Flags(), command.Flags());
    EXPECT_EQ(ToBytes(decoded->AC()), ToBytes(command.AC()));
    EXPECT_EQ(ToBytes(decoded->CD()), ToBytes(command.CD()));
  }
}

}  // namespace
