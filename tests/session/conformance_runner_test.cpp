// The runner as a pure unit: packets and times in, packets and step results
// out. The standard's timers and the deviations of real units it tolerates.
#include "session/conformance_runner.h"

#include <gtest/gtest.h>

#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

namespace {

using namespace testing_support;
using session::ConformanceRunner;
using session::Millis;

constexpr uint32_t kUnit = 7;

ConformanceRunner Runner(const std::string& json,
                         std::map<std::string, std::vector<uint8_t>> files = {}) {
  std::string error;
  auto run = session::ParseRun(json, error);
  EXPECT_TRUE(run) << error;
  std::vector<session::RunDefinition> runs;
  if (run) runs.push_back(*run);
  return ConformanceRunner(std::move(runs), {}, std::move(files), 0);
}

void Feed(ConformanceRunner& runner, const Bytes& packet, Millis now) {
  TransportHeader header;
  const auto count = static_cast<uint16_t>(packet.size());
  ASSERT_FALSE(EGTS::IsError(ValidateTransportHeader(packet.data(), count, header)));
  PacketHolder holder;
  ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  runner.Received(kUnit, header, holder, now);
  ReleasePacket(holder);
}

uint16_t Pid(const Bytes& packet) { return static_cast<uint16_t>(packet[7] | packet[8] << 8); }
uint16_t Rn(const Bytes& packet) { return static_cast<uint16_t>(packet[13] | packet[14] << 8); }
uint32_t Cid(const Bytes& packet) {  // of the COMMAND_DATA in the first record
  return static_cast<uint32_t>(packet[22] | packet[23] << 8 | packet[24] << 16 | packet[25] << 24);
}

Bytes Confirmation(uint32_t cid) {
  Bytes srd{0x10};
  PutU32(srd, cid);
  PutU32(srd, 0);
  srd.push_back(0);
  return SubrecordBytes(51, srd);
}

// A RESPONSE packet for `pid` with the result `pr`, and its records.
Bytes Response(uint16_t pid, uint8_t pr, const Bytes& records = {}, uint16_t own = 50) {
  Bytes frame;
  PutU16(frame, pid);
  frame.push_back(pr);
  frame.insert(frame.end(), records.begin(), records.end());
  return PacketBytes(0, frame, own);
}

Bytes RecordResponse(uint16_t rn, uint8_t rst, uint8_t service) {
  Bytes rr;
  PutU16(rr, rn);
  rr.push_back(rst);
  return RecordBytes({.RN = 90, .SST = service, .RST = service}, SubrecordBytes(0, rr));
}

// Connects, authorizes (the runs answer a TERM_IDENTITY no step waits for
// with RESULT_CODE 0) and returns what the runner sent first.
std::vector<Bytes> Authorize(ConformanceRunner& runner) {
  runner.Connected(kUnit, 0);
  Feed(runner, IdentityPacket(1, 1), 0);
  ConfirmationCounters counters;
  return runner.Outgoing(kUnit, counters, 0);
}

TEST(ConformanceRunner, AnUnconfirmedCommandIsSentAgainThreeTimesThenTheStepFails) {
  ConformanceRunner runner = Runner(R"({"name": "t", "steps": [
      {"name": "on", "send": "COMMAND", "command": "EGTS_TEST_MODE", "data": "01"}]})");
  const std::vector<Bytes> first = Authorize(runner);
  ASSERT_EQ(first.size(), 2u);  // RESULT_CODE 0, then the command
  ConfirmationCounters counters{5, 5};
  for (Millis at : {4999, 5000, 10000, 15000}) {
    runner.Advance(at);
    const auto again = runner.Outgoing(kUnit, counters, at);
    if (at == 4999) {
      EXPECT_TRUE(again.empty());
    } else {
      ASSERT_EQ(again.size(), 1u) << at;
      EXPECT_EQ(again[0], first[1]);  // the same packet, the same PID
    }
  }
  runner.Advance(19999);
  EXPECT_TRUE(runner.TakeEnded().empty());
  runner.Advance(20000);
  const auto ended = runner.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_FALSE(ended[0].passed);
  EXPECT_EQ(ended[0].reason, "packet " + std::to_string(Pid(first[1])) +
                                 " not confirmed within 5 s, sent 4 times (TL_RESPONSE_TO, "
                                 "TL_RESEND_ATTEMPTS 3)");
  EXPECT_TRUE(runner.Done());
  EXPECT_TRUE(runner.WantsClose(kUnit));
  EXPECT_FALSE(runner.Passed());
}

TEST(ConformanceRunner, ConfirmationsOfSeveralCommandsInOneRecordOfAResponsePacketCount) {
  ConformanceRunner runner = Runner(R"({"name": "t", "steps": [
      {"name": "on", "send": "COMMAND", "command": "EGTS_TEST_MODE", "data": "01"},
      {"name": "off", "send": "COMMAND", "command": "EGTS_TEST_MODE", "data": "00", "answer": "EGTS_CC_OK"}]})");
  const std::vector<Bytes> first = Authorize(runner);
  ASSERT_EQ(first.size(), 2u);
  // No packet confirmation at all: the answer rides in a RESPONSE packet of
  // another PID, in one record with the answer to another command.
  const Bytes record = RecordBytes({.RN = 3, .SST = 4, .RST = 4},
                                   Concat({Confirmation(999), Confirmation(Cid(first[1]))}));
  Feed(runner, Response(4000, 0, record), 100);
  auto ended = runner.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_TRUE(ended[0].passed) << ended[0].reason;
  ConfirmationCounters counters{5, 5};
  const auto second = runner.Outgoing(kUnit, counters, 100);
  ASSERT_EQ(second.size(), 1u);
  Bytes refused = Confirmation(Cid(second[0]));
  refused[3] = 0x12;  // CT_COMCONF, CC_ILL
  Feed(runner, Response(Pid(second[0]), 0, RecordBytes({.RN = 4, .SST = 4, .RST = 4}, refused)), 200);
  ended = runner.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].reason, "EGTS_TEST_MODE: answered EGTS_CC_ILL, expected EGTS_CC_OK");
}

TEST(ConformanceRunner, UploadPartsCountFromZeroAndInProgressInTheTransportResultIsTaken) {
  const std::vector<uint8_t> object(250, 0x42);
  ConformanceRunner runner = Runner(R"({"name": "t", "steps": [
      {"name": "up", "send": "UPLOAD", "file": "fw", "part_size": 100, "first_part": 0}]})",
                                    {{"fw", object}});
  const std::vector<Bytes> first = Authorize(runner);
  ASSERT_EQ(first.size(), 2u);
  ConfirmationCounters counters{5, 5};
  std::vector<Bytes> parts{first[1]};
  for (uint16_t pn = 0; pn < 3; ++pn) {
    const Bytes& part = parts.back();
    // SERVICE_PART_DATA after the record header (7) and subrecord header (3):
    // ID, PN, EPQ.
    EXPECT_EQ(part[11 + 7 + 3 + 2], pn);
    EXPECT_EQ(part[11 + 7 + 3 + 4], 3);
    const bool last = pn == 2;
    // The lab's unit: IN_PROGRESS in the packet's result, OK in the record's.
    Feed(runner, Response(Pid(part), last ? 0 : 1, RecordResponse(Rn(part), 0, 9)), 10 * pn + 10);
    const auto next = runner.Outgoing(kUnit, counters, 10 * pn + 10);
    if (last) {
      EXPECT_TRUE(next.empty());
    } else {
      ASSERT_EQ(next.size(), 1u);
      parts.push_back(next[0]);
    }
  }
  const auto ended = runner.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_TRUE(ended[0].passed) << ended[0].reason;
  EXPECT_TRUE(runner.Passed());
}

TEST(ConformanceRunner, TheFirstIdentityIsDueWithinSixSecondsOfTheConnection) {
  ConformanceRunner runner = Runner(R"({"name": "t", "steps": [
      {"name": "identity", "expect": "TERM_IDENTITY"}]})");
  runner.Advance(20000);
  runner.Connected(kUnit, 20000);
  runner.Advance(25999);
  EXPECT_TRUE(runner.TakeEnded().empty());
  runner.Advance(26000);
  const auto ended = runner.TakeEnded();
  ASSERT_EQ(ended.size(), 1u);
  EXPECT_EQ(ended[0].reason,
            "authorization failed: no TERM_IDENTITY within 6 s of connecting (EGTS_SL_NOT_AUTH_TO)");
}

}  // namespace
