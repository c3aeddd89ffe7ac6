#include "session/platform_conversation.h"

#include <algorithm>

#include "compose/conversation_packets.h"
#include "compose/record_packet.h"
#include "service/subrecord_types.h"
#include "transport/bytestream.h"
#include "transport/result_codes.h"
#include "util/byte_order.h"

namespace session {

namespace {

// The command code of a command's CD: ADR u16, SZ/ACT u8, then CCD u16.
uint16_t CommandCode(const EGTS::Subrecord_COMMAND_DATA& command) {
  return command.CD().size() >= 5 ? ReadU16(command.CD().data() + 3) : 0;
}

}  // namespace

PlatformConversation::PlatformConversation(Millis connectedAt, const PlatformPolicy& policy)
    : policy_(policy),
      terminal_(connectedAt, kTerminalConfirms, true, policy.authorizationLimit) {}

Step PlatformConversation::Received(uint8_t headerCode, const TransportHeader& header,
                                    uint8_t parseResult, const PacketHolder& holder, Millis now) {
  Step step;
  if (NeedsConfirmation(headerCode, header)) {
    EGTS::bytestream confirmation;
    if (terminal_.Confirm(header, parseResult, holder, confirmation, step.findings) == 0) {
      step.replies.push_back({true, std::move(confirmation.bytes), {}});
    }
  }
  const auto heard = terminal_.FromTerminal(header, holder, now, step.findings);
  if (!heard.authorizationAsked || !policy_.answersAuthorization) return step;
  const uint8_t result = policy_.authorizationResult;
  EGTS::bytestream answer;
  if (ComposeAuthorizationAnswer(result, terminal_.Counters(), answer) != 0) return step;
  step.replies.push_back({false, std::move(answer.bytes),
                          {Info("Authorization answered with result %u (%s)", unsigned{result},
                                ResultCodeText(result))}});
  // A refused terminal is let go once it has the answer.
  step.close = result != EGTS::EGTS_PC_OK;
  return step;
}

void PlatformConversation::Sent(const TransportHeader& header, const PacketHolder& holder,
                                Millis now) {
  terminal_.FromPlatform(header, holder, now);
}

Step PlatformConversation::Command(const EGTS::Subrecord_COMMAND_DATA& command, uint32_t cid) {
  Step step;
  EGTS::bytestream packet;
  if (ComposeConnectionCommand(command, cid, terminal_.Counters(), packet) != 0) return step;
  step.replies.push_back({false, std::move(packet.bytes), {}});
  terminal_.CommandSent(cid, CommandCode(command));
  return step;
}

Step PlatformConversation::Upload(std::span<const uint8_t> object, const ObjectHeader& header) {
  Step step;
  // Parts grow past the unit's block when EPQ's 16 bits could not count them.
  const uint32_t partSize =
      std::max<uint32_t>(PartSizeFor(terminal_.BlockSize()),
                         static_cast<uint32_t>((object.size() + 0xFFFE) / 0xFFFF));
  const std::size_t parts = PartCount(object.size(), partSize);
  ++objectId_;
  for (std::size_t part = 0; part < parts; ++part) {
    const std::vector<uint8_t> srd =
        ObjectPartSrd(object, header, objectId_, partSize, part, 1);  // PN from 1
    auto packet = ComposeRecordPacket(EGTS::EGTS_FIRMWARE_SERVICE, {{kServicePartData, srd}},
                                      terminal_.Counters());
    if (!packet) continue;  // a part always fits: partSize is below a packet's limit
    step.replies.push_back({false, std::move(packet->bytes), {}});
    terminal_.PartSent(packet->rn, objectId_, part, parts);
  }
  return step;
}

Step PlatformConversation::Tick(Millis now) {
  Step step;
  terminal_.Expire(now, step.findings);
  // The standard has the platform close a connection that did not
  // authorize in time (EGTS_SL_NOT_AUTH_TO).
  if (terminal_.AuthorizationOverdue() && !closing_) {
    closing_ = true;
    step.findings.push_back(
        Info("Connection closed: no authorization within %lld ms (EGTS_SL_NOT_AUTH_TO)",
             static_cast<long long>(terminal_.AuthorizationLimit())));
  }
  step.close = closing_;
  return step;
}

}  // namespace session
