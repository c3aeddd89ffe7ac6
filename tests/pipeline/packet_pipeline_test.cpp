// The packet pipeline's contract: what is parsed and with which
// subrecords, the two text bodies, and the place a long file's further
// bytes go in.

#include <gtest/gtest.h>

#include <string>

#include "console/packet_dumps.h"
#include "pipeline/packet_pipeline.h"
#include "service/teledata/subrecord_pos_data.h"
#include "support/packet_builder.h"
#include "transport/transport_report.h"
#include "util/text.h"

namespace {

using namespace testing_support;

// A TELEDATA record with one POS_DATA (21 bytes, no altitude).
Bytes PositionPacket() {
  RecordFields record;
  record.SST = record.RST = 2;
  const Bytes srd = {0xD9, 0x23, 0x82, 0x13, 0x00, 0x8D, 0xCE, 0xA0, 0x80, 0x70, 0xEC,
                     0x78, 0x13, 0x38, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x01, 0x00};
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(16, srd)), 7);
}

bool HoldsPosData(const PacketHolder& holder) {
  if (!holder.packet || holder.packet->records.empty()) return false;
  const auto& entry = holder.packet->records[0].subrecords.at(0);
  return dynamic_cast<const EGTS::Subrecord_POS_DATA*>(entry.object.get()) != nullptr;
}

pipeline::PacketIn Live(const Bytes& bytes) {
  pipeline::PacketIn in;
  in.bytes = bytes;
  in.textLead = FormatPacketDump(bytes);
  in.source = "tcp";
  return in;
}

TEST(PacketPipeline, ParsesOnlyWhatIsReadAndWithTheSubrecordsAsked) {
  const Bytes packet = PositionPacket();
  // A file's text without -v reads no parse.
  pipeline::PacketIn file = Live(packet);
  file.body = pipeline::TextBody::kFile;
  const pipeline::PacketOut plain = pipeline::PacketPipeline(PacketRoad{}).Take(file);
  EXPECT_FALSE(plain.parsed);
  EXPECT_EQ(plain.block, FormatPacketDump(packet) + FormatTransportResult(0, plain.header));

  // The caller asks for the standard's subrecords while -v reports the
  // original subrecords: the caller's parse has POS_DATA decoded, and the report is the
  // one it would be without the caller's wish.
  PacketRoad verbose;
  verbose.report.serviceLayer = true;
  pipeline::PacketIn asked = Live(packet);
  asked.needsStandard = true;
  const pipeline::PacketOut standard = pipeline::PacketPipeline(verbose).Take(asked);
  const pipeline::PacketOut parts = pipeline::PacketPipeline(verbose).Take(Live(packet));
  ASSERT_TRUE(standard.parsed);
  EXPECT_EQ(standard.frameResult, 0);
  EXPECT_TRUE(HoldsPosData(standard.holder));
  EXPECT_FALSE(HoldsPosData(parts.holder));
  EXPECT_EQ(standard.block, parts.block);
  EXPECT_NE(parts.block.find("EGTS Service Layer"), std::string::npos) << parts.block;
}

TEST(PacketPipeline, LiveAndFileBodiesKeepTheirOrder) {
  // The record data ends with SRT 16 and half of an SRL: with -x the
  // record area is malformed.
  const Bytes cut = {0x01, 0x00, 0x00, 0x0B, 0x00, 0x0D, 0x00, 0x00, 0x00, 0x01, 0xD7, 0x02, 0x00,
                     0x00, 0x00, 0x01, 0xEF, 0x00, 0x00, 0x00, 0x02, 0x02, 0x10, 0x15, 0xFD, 0x22};
  PacketRoad verbose;
  verbose.report.serviceLayer = verbose.report.standard = true;
  pipeline::PacketIn live = Live(cut);
  live.resultPrefix = "00002A";
  const std::string liveBlock = pipeline::PacketPipeline(verbose).Take(live).block;
  pipeline::PacketIn file = Live(cut);
  file.body = pipeline::TextBody::kFile;
  const std::string fileBlock = pipeline::PacketPipeline(verbose).Take(file).block;
  const std::string malformed = "Service Layer Parser: Incorrect Record Data format\n";
  const std::string result = FormatValidatingResult(0, "00002A");
  ASSERT_NE(liveBlock.find(malformed), std::string::npos) << liveBlock;
  EXPECT_LT(liveBlock.find(malformed), liveBlock.find(result));
  ASSERT_NE(fileBlock.find(malformed), std::string::npos) << fileBlock;
  EXPECT_GT(fileBlock.find(malformed), fileBlock.find("EGTS Transport Layer"));
}

TEST(PacketPipeline, FurtherBytesGoInWhereTheDumpEnds) {
  const Bytes packet = PositionPacket();
  const std::string hex = HexText(packet.data(), packet.size());
  PacketRoad json;
  json.report.json = true;
  pipeline::PacketIn in = Live(packet);
  in.body = pipeline::TextBody::kFile;
  in.extra = {{"file", "a \"bytes\":\"00 name"}};
  const pipeline::PacketOut object = pipeline::PacketPipeline(json).Take(in);
  ASSERT_GE(object.split, hex.size());
  EXPECT_EQ(object.block.substr(object.split - hex.size(), hex.size() + 2), hex + "\",");
  EXPECT_EQ(object.block.back(), '\n');

  pipeline::PacketIn text = Live(packet);
  text.textLead = "Packet data: \n " + hex;
  text.textJoin = "\n\n";
  text.body = pipeline::TextBody::kFile;
  const pipeline::PacketOut written = pipeline::PacketPipeline(PacketRoad{}).Take(text);
  EXPECT_EQ(written.block.substr(0, written.split), text.textLead);
  EXPECT_EQ(written.block.compare(written.split, 2, "\n\n"), 0);
}

}  // namespace
