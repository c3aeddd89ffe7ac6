// The platform's side of a conversation driven with packets and times
// alone: what it sends back, what it finds and when it closes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service/record_parser.h"
#include "session/platform_checks.h"
#include "session/platform_conversation.h"
#include "session/terminal_side.h"
#include "support/packet_builder.h"
#include "transport/transport_header.h"

namespace {

using session::Level;
using session::PlatformConversation;
using session::PlatformPolicy;
using session::Step;
using testing_support::Bytes;

struct Parsed {
  Bytes bytes;
  uint8_t headerCode = 0;
  TransportHeader header;
  uint8_t parseResult = 0;
  PacketHolder holder;
  explicit Parsed(Bytes packet) : bytes(std::move(packet)) {
    const auto count = static_cast<uint16_t>(bytes.size());
    headerCode = ValidateTransportHeader(bytes.data(), count, header);
    parseResult =
        ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  }
  ~Parsed() { ReleasePacket(holder); }
};

Step Receive(PlatformConversation& conversation, const Bytes& packet, session::Millis now) {
  Parsed parsed(packet);
  return conversation.Received(parsed.headerCode, parsed.header, parsed.parseResult,
                               parsed.holder, now);
}

std::vector<std::string> Lines(const session::Findings& findings) {
  std::vector<std::string> lines;
  for (const session::Finding& finding : findings) lines.push_back(session::FindingLine(finding));
  return lines;
}

// An authorization request gets its confirmation, then the answer; a
// refused terminal is let go; the answer, once sent, awaits its own
// confirmation.
TEST(PlatformConversation, AuthorizationIsConfirmedAndAnswered) {
  for (const uint8_t result : {uint8_t{0}, uint8_t{151}}) {
    PlatformPolicy policy;
    policy.authorizationResult = result;
    PlatformConversation conversation(0, policy);
    Step step = Receive(conversation, testing_support::IdentityPacket(7, 3), 100);
    ASSERT_EQ(step.replies.size(), 2u);
    EXPECT_TRUE(step.findings.empty());
    EXPECT_EQ(step.close, result != 0);

    ASSERT_TRUE(step.replies[0].confirmation);
    Parsed confirmation(step.replies[0].bytes);
    ASSERT_EQ(confirmation.holder.type, EGTS::EGTS_PT_RESPONSE);
    EXPECT_EQ(static_cast<const EGTS::Packet_Response&>(*confirmation.holder.packet).RPID, 7);

    const session::Reply& answer = step.replies[1];
    EXPECT_FALSE(answer.confirmation);
    Parsed sent(answer.bytes);
    EXPECT_EQ(session::AuthorizationAnswer(sent.holder), result);
    ASSERT_EQ(answer.whenSent.size(), 1u);
    EXPECT_EQ(answer.whenSent[0].level, Level::kInfo);
    EXPECT_EQ(answer.whenSent[0].kind.rfind("INFO: Authorization answered with result #", 0), 0u);
    EXPECT_TRUE(conversation.Terminal().Authorized());
    EXPECT_EQ(conversation.Terminal().Tid(), 1133u);

    conversation.Sent(sent.header, sent.holder, 200);
    EXPECT_EQ(conversation.NextDeadline(), 5200);
    step = conversation.Tick(5200);
    EXPECT_FALSE(step.close);
    EXPECT_EQ(Lines(step.findings),
              (std::vector<std::string>{
                  "WARNING: Packet " + std::to_string(sent.header.PID) +
                      " not confirmed within 5000 ms\n",
                  "WARNING: Record " + std::to_string(sent.holder.packet->records[0].RN) +
                      " not confirmed within 5000 ms\n"}));
  }
}

// Without an authorization request the connection is closed at the limit,
// with the warning and the reason; a warning counts by its kind.
TEST(PlatformConversation, NoAuthorizationInTimeCloses) {
  PlatformPolicy policy;
  policy.authorizationLimit = 6000;
  PlatformConversation conversation(1000, policy);
  EXPECT_EQ(conversation.NextDeadline(), 7000);
  Step step = conversation.Tick(6999);
  EXPECT_FALSE(step.close);
  EXPECT_TRUE(step.findings.empty());

  step = conversation.Tick(7000);
  EXPECT_TRUE(step.close);
  EXPECT_TRUE(step.replies.empty());
  ASSERT_EQ(step.findings.size(), 2u);
  EXPECT_EQ(step.findings[0].level, Level::kWarning);
  EXPECT_EQ(step.findings[0].kind, "WARNING: No authorization within # ms of connecting");
  EXPECT_EQ(step.findings[0].text, "No authorization within 6000 ms of connecting");
  EXPECT_EQ(session::FindingLine(step.findings[1]),
            "INFO: Connection closed: no authorization within 6000 ms (EGTS_SL_NOT_AUTH_TO)\n");
  EXPECT_TRUE(conversation.Tick(8000).findings.empty());
}

// The terminal's side: the platform's confirmation ends the wait for the
// terminal's packet; a platform's packet is confirmed only where the
// terminal talks, and checked alike.
TEST(TerminalSide, ConfirmsWhereItTalksAndChecksAlike) {
  for (const bool talks : {true, false}) {
    session::TerminalSide side(session::kPlatformConfirms, talks);
    Parsed identity(testing_support::IdentityPacket(7, 3));
    side.Sent(identity.header, identity.holder, 0);
    EXPECT_TRUE(side.Awaits(7));

    PlatformConversation platform(0, PlatformPolicy{});
    Step answered = Receive(platform, identity.bytes, 10);
    ASSERT_EQ(answered.replies.size(), 2u);
    Parsed confirmation(answered.replies[0].bytes);
    Step step = side.Received(confirmation.headerCode, confirmation.header,
                              confirmation.parseResult, confirmation.holder, 20);
    EXPECT_TRUE(step.replies.empty());
    EXPECT_TRUE(step.findings.empty());
    EXPECT_FALSE(side.Awaits(7));

    Parsed answer(answered.replies[1].bytes);
    for (int time = 0; time < 2; ++time) {
      step = side.Received(answer.headerCode, answer.header, answer.parseResult, answer.holder, 30);
      ASSERT_EQ(step.replies.size(), talks ? 1u : 0u);
    }
    // The same packet twice: the platform sent it again.
    ASSERT_EQ(step.findings.size(), 1u);
    EXPECT_EQ(step.findings[0].kind, "WARNING: Packet # of the platform received again");
  }
}

}  // namespace
