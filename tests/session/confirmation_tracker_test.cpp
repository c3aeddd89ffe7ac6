// What one side sent and the other confirmed, and how a side confirms what
// it receives, checked without sockets.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/record_parser.h"
#include "session/confirmation_tracker.h"
#include "session/peer_confirmation.h"
#include "support/packet_builder.h"
#include "transport/transport_header.h"

namespace {

using session::ConfirmationTracker;
using Lines = std::vector<std::string>;
using testing_support::Bytes;
using testing_support::Concat;
using testing_support::PacketBytes;
using testing_support::RecordBytes;
using testing_support::RecordFields;
using testing_support::SubrecordBytes;

// The findings as the log lines they are written as.
Lines LinesOf(const session::Findings& findings) {
  Lines lines;
  for (const session::Finding& finding : findings) lines.push_back(session::FindingLine(finding));
  return lines;
}

// A parsed packet kept with its bytes.
struct Parsed {
  Bytes bytes;
  TransportHeader header;
  PacketHolder holder;
  explicit Parsed(Bytes packet) : bytes(std::move(packet)) {
    const auto count = static_cast<uint16_t>(bytes.size());
    ValidateTransportHeader(bytes.data(), count, header);
    ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  }
};

Bytes DataPacket(uint16_t pid, std::vector<uint16_t> rns) {
  Bytes frame;
  for (uint16_t rn : rns) {
    RecordFields record;
    record.RN = rn;
    record.SST = record.RST = 1;
    frame = Concat({frame, RecordBytes(record, SubrecordBytes(9, {0}))});
  }
  return PacketBytes(1, frame, pid);
}

// RPID, and one RECORD_RESPONSE per (CRN, status).
Bytes Confirmation(uint16_t rpid, std::vector<std::pair<uint16_t, uint8_t>> records) {
  Bytes frame = {static_cast<uint8_t>(rpid), static_cast<uint8_t>(rpid >> 8), 0};
  uint16_t rn = 100;
  for (const auto& [crn, status] : records) {
    RecordFields record;
    record.RN = rn++;
    record.SST = record.RST = 1;
    frame = Concat({frame, RecordBytes(record, SubrecordBytes(0, {static_cast<uint8_t>(crn),
                                                                  static_cast<uint8_t>(crn >> 8),
                                                                  status}))});
  }
  return PacketBytes(0, frame, 50);
}

TEST(ConfirmationTracker, FindingsOfATerminalThatConfirms) {
  struct Case {
    const char* name;
    std::vector<std::pair<uint16_t, uint8_t>> answered;  // records in the confirmation
    uint16_t rpid;
    session::Millis at;
    std::vector<std::string> findings;
  };
  const std::vector<Case> cases = {
      {"all in time", {{7, 0}, {8, 0}}, 5, 4999, {}},
      {"a record with a status", {{7, 0}, {8, 150}}, 5, 100,
       {"WARNING: Record 8 confirmed with result 150 (Unknown service)\n"}},
      {"a record left out waits for its deadline", {{7, 0}}, 5, 100, {}},
      {"an unknown packet", {}, 6, 100, {"WARNING: Confirmation of unknown packet 6\n"}},
  };
  for (const Case& c : cases) {
    ConfirmationTracker tracker(session::kTerminalConfirms);
    Parsed sent(DataPacket(5, {7, 8}));
    tracker.Sent(5, sent.holder, 0);
    session::Findings findings;
    Parsed answer(Confirmation(c.rpid, c.answered));
    tracker.Received(answer.holder, c.at, findings);
    tracker.Expire(c.at, findings);
    EXPECT_EQ(LinesOf(findings), c.findings) << c.name;
  }
}

TEST(ConfirmationTracker, LateAndMissingTexts) {
  ConfirmationTracker terminal(session::kTerminalConfirms);
  Parsed sent(DataPacket(5, {7}));
  terminal.Sent(5, sent.holder, 0);
  EXPECT_EQ(terminal.NextDeadline(), 5000);
  session::Findings findings;
  terminal.Expire(4999, findings);
  EXPECT_TRUE(findings.empty());
  terminal.Expire(5000, findings);
  EXPECT_EQ(LinesOf(findings), (Lines{"WARNING: Packet 5 not confirmed within 5000 ms\n",
                                      "WARNING: Record 7 not confirmed within 5000 ms\n"}));
  EXPECT_EQ(findings[0].level, session::Level::kWarning);
  EXPECT_EQ(findings[0].kind, "WARNING: Packet # not confirmed within # ms");
  EXPECT_EQ(terminal.NextDeadline(), -1);

  // A platform's confirmation answers for every record of the packet at once.
  ConfirmationTracker platform(session::kPlatformConfirms);
  platform.Sent(5, sent.holder, 0);
  Parsed answer(Confirmation(5, {}));
  findings.clear();
  platform.Received(answer.holder, 10, findings);
  EXPECT_EQ(LinesOf(findings), (Lines{"WARNING: Record 7 not confirmed by the platform\n"}));
  EXPECT_EQ(platform.Awaited(), 0u);
}

// A terminal that never confirms costs a bounded table: the oldest go.
TEST(ConfirmationTracker, OutstandingTableIsCapped) {
  ConfirmationTracker tracker(session::kTerminalConfirms);
  for (uint16_t pid = 0; pid < 3000; ++pid) {
    Parsed sent(DataPacket(pid, {pid}));
    tracker.Sent(pid, sent.holder, pid);
  }
  EXPECT_EQ(tracker.Awaited(), ConfirmationTracker::kMaxAwaited);
  session::Findings findings;
  tracker.Expire(0, findings);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(session::FindingLine(findings[0]),
            "WARNING: 4976 packets and records were no longer awaited: more than 1024 at once\n");
}

TEST(PidHistory, RemembersTheLast64) {
  session::PidHistory history;
  for (uint16_t pid = 0; pid < 100; ++pid) EXPECT_FALSE(history.Repeated(pid));
  EXPECT_TRUE(history.Repeated(99));
  EXPECT_TRUE(history.Repeated(36));
  EXPECT_FALSE(history.Repeated(35));  // fell out of the 64
}

// An APPDATA packet with one record holding a RECORD_RESPONSE of `crn`,
// and a RESULT_CODE besides when `more`.
Bytes RecordConfirmations(uint16_t pid, uint16_t crn, bool more = false) {
  Bytes rd = SubrecordBytes(0, {static_cast<uint8_t>(crn), static_cast<uint8_t>(crn >> 8), 0});
  if (more) rd = Concat({rd, SubrecordBytes(9, {0})});
  return PacketBytes(1, RecordBytes({.RN = pid, .SST = 1, .RST = 1}, rd), pid);
}

// Records that only confirm records get no record of their own in the
// confirmation of their packet; one warning, and only once the peer
// confirms a record of one of our RESPONSE packets.
TEST(PeerConfirmation, RecordsThatOnlyConfirmAreConfirmedByTheirPacketAlone) {
  session::PeerConfirmation confirmation("terminal");
  ConfirmationCounters counters;
  session::Findings findings;
  EGTS::bytestream out;
  const auto compose = [&](const Bytes& packet) {
    Parsed parsed(packet);
    out.Reset();
    return confirmation.Compose(parsed.header, 0, parsed.holder, counters, out, findings);
  };
  ASSERT_EQ(compose(DataPacket(1, {5, 6})), 0);
  EXPECT_EQ(counters.recordNumber, 3);  // our records 1 and 2 confirm 5 and 6
  ASSERT_EQ(compose(RecordConfirmations(2, 9)), 0);  // not a record of ours
  EXPECT_EQ(out.bytes.size(), 16u);  // RPID and PR only
  EXPECT_TRUE(findings.empty());
  ASSERT_EQ(compose(RecordConfirmations(3, 2)), 0);
  ASSERT_EQ(compose(RecordConfirmations(4, 1)), 0);
  EXPECT_EQ(LinesOf(findings),
            (Lines{"WARNING: The terminal confirms our confirmations: its records that "
                   "hold only RECORD_RESPONSE are confirmed by their packet alone\n"}));
  ASSERT_EQ(compose(RecordConfirmations(5, 1, true)), 0);  // data besides: confirmed
  EXPECT_EQ(counters.recordNumber, 4);
}

}  // namespace
