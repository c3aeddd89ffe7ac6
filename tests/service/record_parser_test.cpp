#include <gtest/gtest.h>

#include "service/record_parser.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/auth/subrecord_srv_identity.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

using namespace EGTS;
using namespace testing_support;

namespace {

struct Parsed {
  uint8_t code = 0;
  PacketHolder holder;
  std::vector<Record>& records() { return holder.packet->records; }
};

Parsed Parse(const Bytes& packet) {
  Parsed p;
  TransportHeader header;
  const uint16_t count = static_cast<uint16_t>(packet.size());
  EXPECT_EQ(ValidateTransportHeader(packet.data(), count, header), 0);
  p.code = ParseFrameData(packet.data(), count, header, p.holder);
  return p;
}

const Bytes kAuthOk = SubrecordBytes(9, {0x00});  // AUTH_RESULT_CODE, accepted anywhere

TEST(ParseFrameData, NoFrameDataCreatesNoPacket) {
  Parsed p = Parse(PacketBytes(1, {}));
  EXPECT_EQ(p.code, 0);
  EXPECT_EQ(p.holder.packet, nullptr);
}

TEST(ParseFrameData, LengthCheckSumAndTypeFailures) {
  Bytes packet = PacketBytes(1, RecordBytes({}, kAuthOk));
  Bytes shortPacket(packet.begin(), packet.end() - 1);
  EXPECT_EQ(Parse(shortPacket).code, EGTS_PC_INVDATALEN);

  Bytes damaged = packet;
  damaged[12] ^= 0x01;
  Parsed p = Parse(damaged);
  EXPECT_EQ(p.code, EGTS_PC_DATACRC_ERROR);
  EXPECT_EQ(p.holder.packet, nullptr);

  EXPECT_EQ(Parse(PacketBytes(3, RecordBytes({}, kAuthOk))).code, EGTS_PC_UNS_TYPE);
  EXPECT_EQ(Parse(PacketBytes(0, {0x01, 0x00})).code, EGTS_PC_INVDATALEN) << "response needs 3";
  EXPECT_EQ(Parse(PacketBytes(2, {0x05})).code, EGTS_PC_INVDATALEN) << "signed needs 2";
}

TEST(ParseFrameData, StoresReceivedCheckSum) {
  Bytes packet = PacketBytes(1, RecordBytes({}, kAuthOk));
  Parsed p = Parse(packet);
  EXPECT_EQ(p.holder.SFRCS, packet[packet.size() - 2] | (packet[packet.size() - 1] << 8));
}

TEST(ParseFrameData, ResponseFields) {
  Parsed p = Parse(PacketBytes(0, Concat({{0x34, 0x12, 0x8B}, RecordBytes({}, kAuthOk)})));
  ASSERT_EQ(p.code, 0);
  auto& response = static_cast<Packet_Response&>(*p.holder.packet);
  EXPECT_EQ(response.RPID, 0x1234);
  EXPECT_EQ(response.PR, 139);
  ASSERT_EQ(p.records().size(), 1u);
}

TEST(ParseFrameData, SignatureLimit) {
  for (uint16_t sigl : {uint16_t{512}, uint16_t{513}}) {
    Bytes frame;
    PutU16(frame, sigl);
    frame.resize(frame.size() + sigl, 0x5A);
    frame = Concat({frame, RecordBytes({}, kAuthOk)});
    Parsed p = Parse(PacketBytes(2, frame));
    if (sigl == 512) {
      ASSERT_EQ(p.code, 0);
      auto& signedPacket = static_cast<Packet_Signed_Appdata&>(*p.holder.packet);
      EXPECT_EQ(signedPacket.SIGD.size(), 512u);
      EXPECT_EQ(p.records().size(), 1u);
    } else {
      EXPECT_EQ(p.code, EGTS_PC_INVDATALEN);
    }
  }
  Bytes frame;
  PutU16(frame, 10);
  frame.resize(6, 0);  // SIGL 10 with only 4 signature bytes in FDL
  EXPECT_EQ(Parse(PacketBytes(2, frame)).code, EGTS_PC_INVDATALEN);
}

TEST(ParseRecord, OptionalFieldsInEveryCombination) {
  for (uint8_t rfl = 0; rfl < 8; ++rfl) {
    RecordFields fields{.RN = 7, .RFL = rfl, .OID = 0x11111111, .EVID = 0x22222222,
                    .TM = 0x33333333, .SST = 4, .RST = 1};
    Parsed p = Parse(PacketBytes(1, Concat({RecordBytes(fields, kAuthOk), RecordBytes({.RN = 8}, {})})));
    ASSERT_EQ(p.code, 0);
    ASSERT_EQ(p.records().size(), 2u) << "rfl " << int(rfl);
    const Record& r = p.records()[0];
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.headerLength, 7 + 4 * __builtin_popcount(rfl));
    EXPECT_EQ(r.OID, (rfl & 1) ? 0x11111111u : 0u);
    EXPECT_EQ(r.EVID, (rfl & 2) ? 0x22222222u : 0u);
    EXPECT_EQ(r.TM, (rfl & 4) ? 0x33333333u : 0u);
    EXPECT_EQ(r.SST, 4);
    EXPECT_EQ(r.RST, 1);
    EXPECT_EQ(r.subrecords.size(), 1u);
    EXPECT_EQ(p.records()[1].RN, 8) << "the next record follows right after";
  }
}

TEST(ParseRecord, StrayBytesAtTheEndGiveHeaderStructureError) {
  for (size_t stray = 1; stray <= 6; ++stray) {
    Bytes frame = Concat({RecordBytes({}, kAuthOk), Bytes(stray, 0x01)});
    Parsed p = Parse(PacketBytes(1, frame));
    EXPECT_EQ(p.code, 0);
    ASSERT_EQ(p.records().size(), 2u);
    EXPECT_EQ(p.records()[1].result, EGTS_PC_INC_HEADERFORM) << stray << " stray bytes";
  }
  // An optional field that does not fit with SST and RST.
  Bytes cut = RecordBytes({.RFL = 0x01}, {});
  cut.pop_back();
  EXPECT_EQ(Parse(PacketBytes(1, cut)).records()[0].result, EGTS_PC_INC_HEADERFORM);
}

TEST(ParseRecord, LengthBeyondRecordArea) {
  Bytes record = RecordBytes({.RST = 1}, kAuthOk);
  record[0] = static_cast<uint8_t>(record[0] + 1);  // RL one larger than what follows
  Parsed p = Parse(PacketBytes(1, record));
  EXPECT_EQ(p.code, 0);
  ASSERT_EQ(p.records().size(), 1u);
  EXPECT_EQ(p.records()[0].result, EGTS_PC_INVDATALEN);
  EXPECT_TRUE(p.records()[0].subrecords.empty());
}

TEST(ParseRecord, ZeroLengthSubrecordAndSpareBytes) {
  const Bytes empty = SubrecordBytes(62, {});  // SRL 0: no object, whatever the type
  for (size_t spare = 1; spare <= 2; ++spare) {
    Bytes rd = Concat({empty, kAuthOk, Bytes(spare, 0x09)});
    Parsed p = Parse(PacketBytes(1, RecordBytes({.RST = 1}, rd)));
    const Record& r = p.records()[0];
    EXPECT_EQ(r.result, 0);
    ASSERT_EQ(r.subrecords.size(), 3u);
    EXPECT_EQ(r.subrecords[0].result, 0);
    EXPECT_EQ(r.subrecords[0].object, nullptr);
    EXPECT_EQ(r.subrecords[1].SRT, 9);
    EXPECT_NE(r.subrecords[1].object, nullptr);
    EXPECT_EQ(r.subrecords[2].result, EGTS_PC_INC_HEADERFORM) << spare << " spare bytes";
  }
}

TEST(ParseRecord, UnknownSubrecordEndsTheRecordButNotThePacket) {
  Bytes rd = Concat({SubrecordBytes(62, {1, 2, 3, 4, 5, 6}), kAuthOk});
  Parsed p = Parse(PacketBytes(1, Concat({RecordBytes({.RST = 1}, rd), RecordBytes({}, kAuthOk)})));
  EXPECT_EQ(p.code, 0);
  ASSERT_EQ(p.records().size(), 1u) << "parsing stops at the failing record";
  EXPECT_EQ(p.records()[0].result, 0);
  ASSERT_EQ(p.records()[0].subrecords.size(), 1u);
  EXPECT_EQ(p.records()[0].subrecords[0].result, EGTS_PC_SR_UNKN);
}

TEST(ParseFrameData, RecordsPastByte255AreFoundAtTheirOffsets) {
  Bytes srvIdentity = SubrecordBytes(4, {0x0A, 0x05});
  Bytes frame;
  for (uint16_t rn = 1; rn <= 40; ++rn) {
    frame = Concat({frame, RecordBytes({.RN = rn, .RFL = 0x01, .OID = rn, .RST = 1}, srvIdentity)});
  }
  ASSERT_GT(frame.size(), 600u);
  Parsed p = Parse(PacketBytes(0, Concat({{0x01, 0x00, 0x00}, frame})));
  ASSERT_EQ(p.records().size(), 40u);
  for (uint16_t rn = 1; rn <= 40; ++rn) {
    const Record& r = p.records()[rn - 1];
    EXPECT_EQ(r.RN, rn);
    EXPECT_EQ(r.OID, rn);
    ASSERT_EQ(r.subrecords.size(), 1u);
    auto* object = dynamic_cast<Subrecord_SRV_IDENTITY*>(r.subrecords[0].object.get());
    ASSERT_NE(object, nullptr);
  }
}

TEST(ParseFrameData, FailingSubrecordKeepsEverythingBefore) {
  Bytes rd = Concat({kAuthOk, SubrecordBytes(0, {0x01})});  // RECORD_RESPONSE needs 3 bytes
  Parsed p = Parse(PacketBytes(1, Concat({RecordBytes({.RN = 1}, kAuthOk), RecordBytes({.RN = 2}, rd)})));
  ASSERT_EQ(p.records().size(), 2u);
  const Record& last = p.records()[1];
  ASSERT_EQ(last.subrecords.size(), 2u);
  EXPECT_EQ(last.subrecords[0].result, 0);
  EXPECT_EQ(last.subrecords[1].result, EGTS_PC_INVDATALEN);
  EXPECT_EQ(last.subrecords[1].object, nullptr);
}

}  // namespace

namespace {

// All a report can read of a parse, as text.
std::string Shape(const PacketHolder& holder) {
  std::string shape = "type " + std::to_string(holder.type) + " SFRCS " +
                      std::to_string(holder.SFRCS) + "\n";
  if (!holder.packet) return shape + "no packet\n";
  const Packet& packet = *holder.packet;
  shape += "malformed " + std::to_string(packet.malformedRecordArea) + " cut " +
           std::to_string(packet.recordAreaCutShort) + "\n";
  for (const Record& r : packet.records) {
    shape += "record " + std::to_string(r.RN) + " RL " + std::to_string(r.RL) + " result " +
             std::to_string(r.result) + " whole " + std::to_string(r.subrecordsWhole) +
             " cut " + std::to_string(r.dataCutShort) + " header " +
             std::to_string(r.cutHeader.size()) + " RST " + std::to_string(r.RST) + "\n";
    for (const Subrecord_Entry& e : r.subrecords) {
      std::string report;
      if (e.object) e.object->Report(&report);
      shape += "  SRT " + std::to_string(e.SRT) + " SRL " + std::to_string(e.SRL) + " result " +
               std::to_string(e.result) + " SRD " + std::to_string(e.SRD.size()) + " checks " +
               std::to_string(e.checks.size()) + " header " + std::to_string(e.cutHeader.size()) +
               (e.object ? " " + std::string(typeid(*e.object).name()) + "\n" + report : "\n");
    }
  }
  return shape;
}

// The original view given beside a parse with the standard's subrecords is
// the parse the original set makes, wherever the two sets part: a type only
// the standard decodes ends the original parse, SRT 5 is kept as bytes, a
// service without original subrecords is unknown, lengths run past the end.
TEST(ParseFrameData, OriginalViewIsTheOriginalParse) {
  const Bytes termIdentity = SubrecordBytes(1, {0x67, 0x12, 0, 0, 0x40, 0x00, 0x04});
  const Bytes srvIdentity = SubrecordBytes(4, {0x02, 0x80});
  const Bytes dispatcher = SubrecordBytes(5, {0x00, 0xD2, 0x04, 0, 0, 'd'});
  const Bytes position = SubrecordBytes(16, Bytes(21, 0x00));
  const Bytes response = SubrecordBytes(0, {0x01, 0x00, 0x00});
  const Bytes frames[] = {
      Concat({RecordBytes({.RN = 1, .RST = 1}, Concat({srvIdentity, dispatcher, kAuthOk})),
              RecordBytes({.RN = 2, .RST = 1}, Concat({termIdentity, srvIdentity})),
              RecordBytes({.RN = 3, .RST = 1}, srvIdentity)}),
      Concat({RecordBytes({.RN = 1, .RST = 2}, Concat({response, position, position})),
              RecordBytes({.RN = 2, .RST = 2}, position)}),
      RecordBytes({.RN = 1, .RST = 2}, Concat({SubrecordBytes(99, {1, 2}), response})),
      RecordBytes({.RN = 1, .RST = 1}, Concat({srvIdentity, {0x01, 0x10, 0x00, 0x00}})),
      Concat({RecordBytes({.RN = 1, .RST = 2}, position), {0x02, 0x00, 0x07}}),
      Concat({RecordBytes({.RN = 1, .RST = 4}, SubrecordBytes(51, {1, 2, 3})),
              RecordBytes({.RN = 2, .RST = 1}, {})}),
  };
  for (const Bytes& frame : frames) {
    for (uint8_t type : {uint8_t{1}, uint8_t{0}}) {
      const Bytes packet =
          PacketBytes(type, type == 0 ? Concat({{0x07, 0x00, 0x00}, frame}) : frame);
      TransportHeader header;
      const auto count = static_cast<uint16_t>(packet.size());
      ASSERT_EQ(ValidateTransportHeader(packet.data(), count, header), 0);
      PacketHolder original;
      PacketHolder standard;
      PacketHolder view;
      const uint8_t originalResult =
          ParseFrameData(packet.data(), count, header, original, SubrecordSet::kOriginal);
      const uint8_t standardResult = ParseFrameData(packet.data(), count, header, standard,
                                                    SubrecordSet::kStandard, &view);
      EXPECT_EQ(standardResult, originalResult);
      EXPECT_EQ(Shape(view), Shape(original));
      EXPECT_NE(Shape(standard), Shape(original)) << "the sets part in every case";
    }
  }
}

}  // namespace
