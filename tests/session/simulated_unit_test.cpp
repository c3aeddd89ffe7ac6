// One simulated unit fed with a platform's packets and the time, without
// sockets: authorization, resends, command answers, track and acceleration
// records, uploads checked against WOS, an identifier given by the
// platform.

#include "session/simulated_unit.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "service/auth/subrecord_term_identity.h"
#include "service/commands/subrecord_command_data.h"
#include "service/common/subrecord_record_response.h"
#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace session {
namespace {

using testing_support::Bytes;
using testing_support::Concat;
using testing_support::PacketBytes;
using testing_support::PutU16;
using testing_support::PutU32;
using testing_support::RecordBytes;
using testing_support::RecordFields;
using testing_support::SubrecordBytes;

std::shared_ptr<const UnitProfile> Bundled() {
  std::ifstream in(KORVANE_EXAMPLES_DIR "/unit_profile.json");
  std::stringstream text;
  text << in.rdbuf();
  auto profile = std::make_shared<UnitProfile>();
  std::string error;
  EXPECT_TRUE(ParseUnitProfile(text.str(), *profile, error)) << error;
  return profile;
}

Bytes Record(uint16_t rn, uint8_t service, const Bytes& subrecords) {
  RecordFields fields;
  fields.RN = rn;
  fields.SST = fields.RST = service;
  return RecordBytes(fields, subrecords);
}

Bytes Command(uint32_t cid, uint8_t act, uint16_t ccd, const Bytes& dt = {}) {
  Bytes srd{0x50};  // CT_COM, CCT 0
  PutU32(srd, cid);
  PutU32(srd, 0);
  srd.push_back(0);
  PutU16(srd, 0);
  srd.push_back(act);
  PutU16(srd, ccd);
  srd.insert(srd.end(), dt.begin(), dt.end());
  return SubrecordBytes(51, srd);
}

// What the unit sent, parsed.
struct Sent {
  std::vector<uint8_t> ccts;                  // of its COMMAND_DATA answers
  std::vector<std::vector<uint8_t>> data;     // their CD after ADR and CCD
  std::vector<uint8_t> statuses;              // of its RECORD_RESPONSEs
  std::vector<std::pair<uint16_t, unsigned>> items;  // SRT and SA of ECALL records
  std::vector<uint32_t> tids;                 // of its TERM_IDENTITYs
};

Sent Parse(const UnitOutput& out) {
  Sent sent;
  for (const std::vector<uint8_t>& bytes : out.packets) {
    TransportHeader header;
    const auto count = static_cast<uint16_t>(bytes.size());
    EXPECT_EQ(ValidateTransportHeader(bytes.data(), count, header), 0);
    PacketHolder holder;
    EXPECT_EQ(ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard), 0);
    for (const EGTS::Record& record : holder.packet->records) {
      for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
        if (entry.SRT == 51) {
          const auto& c = static_cast<const EGTS::Subrecord_COMMAND_DATA&>(*entry.object);
          EXPECT_EQ(c.CT(), EGTS::EGTS_CT_COMCONF);
          sent.ccts.push_back(c.CCT());
          sent.data.emplace_back(c.CD().size() > 4 ? c.CD().begin() + 4 : c.CD().end(),
                                 c.CD().end());
        } else if (entry.SRT == 0) {
          sent.statuses.push_back(
              static_cast<const EGTS::Subrecord_RECORD_RESPONSE&>(*entry.object).RST());
        } else if (record.SST == 1 && entry.SRT == 1) {
          sent.tids.push_back(
              static_cast<const EGTS::Subrecord_TERM_IDENTITY&>(*entry.object).TID());
        } else if (record.SST == 10) {
          sent.items.emplace_back(entry.SRT, entry.SRL);
        }
      }
    }
  }
  return sent;
}

class UnitTest : public testing::Test {
 protected:
  UnitTest() : UnitTest(Bundled()) {}
  explicit UnitTest(std::shared_ptr<const UnitProfile> profile)
      : unit_(std::move(profile), 0, stats_) {}

  UnitOutput Feed(const Bytes& packet, Millis at = 0) {
    UnitOutput out;
    unit_.Received(packet, {at, 1700000000}, out);
    return out;
  }
  UnitOutput Tick(Millis at) {
    UnitOutput out;
    unit_.Tick({at, 1700000000 + at / 1000}, out);
    return out;
  }
  // The platform's confirmation of every application packet in `out`.
  void ConfirmAll(const UnitOutput& out) {
    for (const std::vector<uint8_t>& bytes : out.packets) {
      TransportHeader header;
      const auto count = static_cast<uint16_t>(bytes.size());
      PacketHolder holder;
      ValidateTransportHeader(bytes.data(), count, header);
      if (header.PT != 1) continue;
      ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
      Bytes frame;
      PutU16(frame, header.PID);
      frame.push_back(0);
      Bytes answers;
      for (const EGTS::Record& record : holder.packet->records) {
        Bytes answer;
        PutU16(answer, record.RN);
        answer.push_back(0);
        answers = Concat({answers, SubrecordBytes(0, answer)});
      }
      Feed(PacketBytes(0, Concat({frame, Record(rn_++, 2, answers)}), pid_++));
    }
  }
  UnitOutput Confirmed(UnitOutput out) {
    ConfirmAll(out);
    return out;
  }
  UnitOutput Authorize() {
    UnitOutput out;
    unit_.Connected({0, 1700000000}, out);
    EXPECT_EQ(out.packets.size(), 2u);  // TERM_IDENTITY, VEHICLE_DATA
    ConfirmAll(out);
    Feed(PacketBytes(1, Record(1, 1, SubrecordBytes(9, {0})), pid_++));
    EXPECT_TRUE(unit_.Authorized());
    return out;
  }
  UnitOutput Send(const Bytes& subrecords, uint8_t service = 4) {
    return Confirmed(Feed(PacketBytes(1, Record(rn_++, service, subrecords), pid_++)));
  }

  UnitStats stats_;
  SimulatedUnit unit_;
  uint16_t pid_ = 1;
  uint16_t rn_ = 10;
};

TEST_F(UnitTest, UnconfirmedPacketsAreSentThreeTimesMoreThenTheUnitCloses) {
  UnitOutput first;
  unit_.Connected({0, 1700000000}, first);
  ASSERT_EQ(first.packets.size(), 2u);
  EXPECT_EQ(unit_.NextWake(), SimulatedUnit::kResponseTimeout);
  for (Millis at = 5000; at <= 15000; at += 5000) {
    const UnitOutput again = Tick(at);
    EXPECT_EQ(again.packets, first.packets) << at;
    EXPECT_FALSE(again.close);
  }
  const UnitOutput last = Tick(20000);
  EXPECT_TRUE(last.close);
  EXPECT_TRUE(unit_.Ended());
  EXPECT_EQ(stats_.resends, 6u);
}

TEST_F(UnitTest, PositionsAreConfirmedAndARefusedRecordIsLost) {
  Authorize();
  const UnitOutput positions = Tick(0);
  ASSERT_EQ(positions.packets.size(), 1u);
  const Bytes& sent = positions.packets[0];
  const uint16_t pid = static_cast<uint16_t>(sent[7] | (sent[8] << 8));
  const uint16_t rn = static_cast<uint16_t>(sent[13] | (sent[14] << 8));
  Bytes frame;
  PutU16(frame, pid);
  frame.push_back(0);
  Bytes answer;
  PutU16(answer, rn);
  answer.push_back(0);
  Feed(PacketBytes(0, Concat({frame, Record(1, 2, SubrecordBytes(0, answer))}), pid_++), 12);
  EXPECT_EQ(stats_.recordsConfirmed, 1u);
  EXPECT_EQ(stats_.latencyMs.Max(), 12);
  // The next one refused with a record status.
  const UnitOutput nextOut = Tick(1000);
  ASSERT_EQ(nextOut.packets.size(), 1u);
  const Bytes& next = nextOut.packets[0];
  Bytes refused;
  PutU16(refused, static_cast<uint16_t>(next[13] | (next[14] << 8)));
  refused.push_back(150);
  const UnitOutput warned = Send(SubrecordBytes(0, refused), 2);
  EXPECT_EQ(stats_.lost, 1u);
  ASSERT_EQ(warned.findings.size(), 1u);
  EXPECT_NE(warned.findings[0].find("refused record"), std::string::npos);
}

TEST_F(UnitTest, ParametersAreReadAndSetAndReadOnlyOnesRefused) {
  Authorize();
  const Bytes nine{9, 0, 0, 0};
  Sent sent = Parse(Send(Concat({Command(1, 1, 0x0417), Command(2, 2, 0x0417, nine),
                                 Command(3, 1, 0x0417), Command(4, 2, 0x0405, {'1'}),
                                 Command(5, 2, 0x0417, {11, 0, 0, 0}),
                                 Command(6, 2, 0x0417, {1}), Command(7, 1, 0x7777)})));
  EXPECT_EQ(sent.statuses, (std::vector<uint8_t>{0}));
  EXPECT_EQ(sent.ccts, (std::vector<uint8_t>{EGTS::EGTS_CC_OK, EGTS::EGTS_CC_OK, EGTS::EGTS_CC_OK,
                                             EGTS::EGTS_CC_ILL, EGTS::EGTS_CC_ERROR,
                                             EGTS::EGTS_CC_ERROR, EGTS::EGTS_CC_NFOUND}));
  EXPECT_EQ(sent.data[0], (std::vector<uint8_t>{5, 0, 0, 0}));  // the profile's value
  EXPECT_EQ(sent.data[2], nine);
  EXPECT_EQ(std::get<int32_t>(*unit_.Parameter(0x0417)), 9);
}

TEST_F(UnitTest, TrackAccelerationAndMsdAreSentOnRequest) {
  Authorize();
  for (Millis at = 0; at < 300 * 1000; at += 1000) ConfirmAll(Tick(at));
  EXPECT_EQ(stats_.recordsConfirmed, 300u);
  Sent track = Parse(Send(Command(1, 1, 0x0115)));
  EXPECT_EQ(track.ccts, (std::vector<uint8_t>{EGTS::EGTS_CC_OK}));
  // 300 points of 12 bytes: 255 and 45, each after SA and ATM.
  EXPECT_EQ(track.items, (std::vector<std::pair<uint16_t, unsigned>>{{62, 5 + 255 * 12},
                                                                      {62, 5 + 45 * 12}}));
  Sent accel = Parse(Send(Command(2, 0, 0x0114)));
  EXPECT_EQ(accel.items, (std::vector<std::pair<uint16_t, unsigned>>{{20, 5 + 20 * 8}}));
  Sent test = Parse(Send(Command(3, 0, 0x0001, {1})));
  EXPECT_EQ(test.ccts, (std::vector<uint8_t>{EGTS::EGTS_CC_OK}));
  Sent msd = Parse(Send(Command(4, 0, 0x0113, {0, 0, 0, 0, 3})));
  ASSERT_EQ(msd.items.size(), 1u);
  EXPECT_EQ(msd.items[0].first, 40);
}

std::shared_ptr<const UnitProfile> AtTidZero() {
  auto profile = std::make_shared<UnitProfile>(*Bundled());
  profile->tid = 0;
  return profile;
}

class UnitAtTidZeroTest : public UnitTest {
 protected:
  UnitAtTidZeroTest() : UnitTest(AtTidZero()) {}
  UnitOutput ResultCode(uint8_t rcd) {
    return Feed(PacketBytes(1, Record(rn_++, 1, SubrecordBytes(9, {rcd})), pid_++));
  }
};

TEST_F(UnitAtTidZeroTest, GivenItsIdentifierItAuthorizesAgainOnTheSameConnection) {
  UnitOutput opening;
  unit_.Connected({0, 1700000000}, opening);
  EXPECT_EQ(Parse(opening).tids, (std::vector<uint32_t>{0}));
  ConfirmAll(opening);
  const Sent set = Parse(Send(Command(1, 2, 0x0404, {0x92, 0x10, 0, 0}), 4));  // 4242
  EXPECT_EQ(set.ccts, (std::vector<uint8_t>{EGTS::EGTS_CC_OK}));
  const UnitOutput again = ResultCode(153);
  EXPECT_FALSE(again.close);
  EXPECT_FALSE(unit_.Authorized());
  EXPECT_EQ(unit_.Tid(), 4242u);
  EXPECT_EQ(Parse(again).tids, (std::vector<uint32_t>{4242}));
  EXPECT_EQ(again.packets.size(), 3u);  // RESPONSE, TERM_IDENTITY, VEHICLE_DATA
  ConfirmAll(again);
  ResultCode(0);
  EXPECT_TRUE(unit_.Authorized());
  EXPECT_EQ(stats_.refused, 0u);
}

TEST_F(UnitAtTidZeroTest, IdNotFoundWithoutAnIdentifierGivenEndsIt) {
  UnitOutput opening;
  unit_.Connected({0, 1700000000}, opening);
  ConfirmAll(opening);
  const UnitOutput refused = ResultCode(153);
  EXPECT_TRUE(refused.close);
  EXPECT_TRUE(unit_.Ended());
  EXPECT_EQ(stats_.refused, 1u);
}

Bytes Part(uint16_t pn, uint16_t epq, const std::string& od, const Bytes* odh) {
  Bytes srd;
  PutU16(srd, 7);
  PutU16(srd, pn);
  PutU16(srd, epq);
  if (odh != nullptr) srd.insert(srd.end(), odh->begin(), odh->end());
  srd.insert(srd.end(), od.begin(), od.end());
  return SubrecordBytes(33, srd);
}

TEST_F(UnitTest, AnUploadIsTakenWhenWosMatchesAndRefusedWhenNot) {
  Authorize();
  const std::string object = "firmware image of the unit, in two parts";
  const uint16_t crc =
      Crc16(reinterpret_cast<const uint8_t*>(object.data()), static_cast<uint16_t>(object.size()));
  for (const uint16_t wos : {crc, static_cast<uint16_t>(crc ^ 1)}) {
    Bytes odh{0x01, 0, 0x22, 0x02};
    PutU16(odh, wos);
    odh.push_back(0);
    const Sent first = Parse(Send(Part(1, 2, object.substr(0, 10), &odh), 9));
    const Sent last = Parse(Send(Part(2, 2, object.substr(10), nullptr), 9));
    EXPECT_EQ(first.statuses, (std::vector<uint8_t>{1}));  // IN_PROGRESS
    EXPECT_EQ(last.statuses, (std::vector<uint8_t>{wos == crc ? uint8_t{0} : uint8_t{138}}));
  }
}

}  // namespace
}  // namespace session
