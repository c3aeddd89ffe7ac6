#include "session/terminal_conversation.h"

#include <algorithm>
#include <cstring>
#include <span>

#include "service/commands/subrecord_command_data.h"
#include "service/commands/unit_parameters.h"
#include "service/auth/subrecord_term_identity.h"
#include "service/common/subrecord_record_response.h"
#include "transport/result_codes.h"
#include "service/subrecord_types.h"
#include "util/byte_order.h"
#include "util/text.h"

namespace session {

namespace {

constexpr uint16_t kTermIdentity = 1;
constexpr uint16_t kDispatcherIdentity = 5;

bool IsApplicationData(const PacketHolder& holder) {
  return holder.packet && holder.type != EGTS::EGTS_PT_RESPONSE;
}

bool AsksAuthorization(const EGTS::Record& record) {
  if (record.RST != EGTS::EGTS_AUTH_SERVICE) return false;
  return std::any_of(record.subrecords.begin(), record.subrecords.end(), [](const auto& entry) {
    return entry.SRT == kTermIdentity || entry.SRT == kDispatcherIdentity;
  });
}

}  // namespace

TerminalConversation::TerminalConversation(Millis connectedAt, const TrackerTexts& texts,
                                           bool watchAuthorization, Millis authorizationLimit)
    : authorizationLimit_(authorizationLimit),
      authorizationDeadline_(connectedAt + authorizationLimit),
      authorizationLateReported_(!watchAuthorization),
      dataBeforeAuthorizationReported_(!watchAuthorization),
      terminalConfirms_(texts) {}

void TerminalConversation::ReadIdentity(const EGTS::Record& record, Received& received) {
  if (!AsksAuthorization(record)) return;
  authorizationAsked_ = true;
  received.authorizationAsked = true;
  for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
    const auto* identity = dynamic_cast<const EGTS::Subrecord_TERM_IDENTITY*>(entry.object.get());
    if (identity == nullptr) continue;
    tid_ = identity->TID();
    if (identity->BSE()) blockSize_ = identity->BS();
    if (identity->IMEIE()) {
      imei_ = Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(identity->IMEI().data()),
                           identity->IMEI().size());
    }
  }
}

void TerminalConversation::CheckDataBeforeAuthorization(const EGTS::Record& record,
                                                        Findings& findings) {
  if (authorizationAsked_ || dataBeforeAuthorizationReported_) return;
  if (record.RST == EGTS::EGTS_AUTH_SERVICE) return;
  dataBeforeAuthorizationReported_ = true;
  findings.push_back(Warning("Data before authorization (record %u, service %u)",
                                  unsigned{record.RN}, unsigned{record.RST}));
}

// A confirmation of a command: CT_COMCONF, the command's CID, its result in
// CCT and the command code after ADR in CD.
namespace {

// A command's name; a code that names no command but a parameter of the
// table (a read or a set of it) by the parameter's name.
const char* CommandName(uint16_t ccd) {
  const char* name = EGTS::CommandCodeName(ccd);
  if (std::strcmp(name, "unspecified") != 0) return name;
  const EGTS::UnitParameter* parameter = EGTS::FindParameter(ccd);
  return parameter != nullptr ? parameter->name : name;
}

// " value <v>" for an answer that carries a parameter's value (a read).
std::string ValueRead(uint16_t ccd, std::span<const uint8_t> cd) {
  const EGTS::UnitParameter* parameter = EGTS::FindParameter(ccd);
  if (parameter == nullptr || cd.size() <= 4) return "";
  const auto value = EGTS::DecodeValue(*parameter, cd.subspan(4));
  return value ? " value " + EscapeControls(EGTS::ValueText(*value)) : "";
}

}  // namespace

void TerminalConversation::ReadCommandAnswers(const EGTS::Record& record, Findings& findings) {
  for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
    if (entry.SRT != EGTS::EGTS_SR_COMMAND_DATA) continue;  // before the cast, which costs
    const auto* answer = dynamic_cast<const EGTS::Subrecord_COMMAND_DATA*>(entry.object.get());
    if (answer == nullptr || answer->CT() != EGTS::EGTS_CT_COMCONF) continue;
    const auto command =
        std::find_if(commands_.begin(), commands_.end(),
                     [answer](const Command& c) { return c.cid == answer->CID(); });
    if (command == commands_.end()) continue;
    const uint16_t ccd = answer->CD().size() >= 4 ? ReadU16(answer->CD().data() + 2) : command->ccd;
    findings.push_back(Info("Command %u answered: %s (%s)%s", answer->CID(),
                            EGTS::ConfirmationTypeName(answer->CCT()), CommandName(ccd),
                            ValueRead(ccd, answer->CD()).c_str()));
    // A command in progress is answered again when it is done.
    if (answer->CCT() != EGTS::EGTS_CC_INPROG) commands_.erase(command);
  }
}

void TerminalConversation::ReadPartAnswers(const EGTS::Record& record, Findings& findings) {
  for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
    if (entry.SRT != EGTS::EGTS_SR_RECORD_RESPONSE) continue;
    const auto* answer = dynamic_cast<const EGTS::Subrecord_RECORD_RESPONSE*>(entry.object.get());
    if (answer == nullptr) continue;
    const auto part = std::find_if(parts_.begin(), parts_.end(),
                                   [answer](const Part& p) { return p.rn == answer->CRN(); });
    if (part == parts_.end()) continue;
    findings.push_back(Info("Upload %u part %zu of %zu answered: %u (%s)",
                                    unsigned{part->objectId}, part->part + 1, part->parts,
                                    unsigned{answer->RST()}, ResultCodeText(answer->RST())));
    parts_.erase(part);
  }
}

TerminalConversation::Received TerminalConversation::FromTerminal(const TransportHeader& header,
                                                                  const PacketHolder& holder,
                                                                  Millis now,
                                                                  Findings& findings) {
  Received received;
  ++packetsReceived_;
  if (terminalPids_.Repeated(header.PID)) {
    findings.push_back(Warning("Packet %u received again", unsigned{header.PID}));
  }
  terminalConfirms_.Received(holder, now, findings);
  // A unit answers parts in the records of a response as well as in data.
  if (holder.packet && !parts_.empty()) {
    for (const EGTS::Record& record : holder.packet->records) ReadPartAnswers(record, findings);
  }
  if (!IsApplicationData(holder)) return received;
  for (const EGTS::Record& record : holder.packet->records) {
    ReadIdentity(record, received);
    CheckDataBeforeAuthorization(record, findings);
    ReadCommandAnswers(record, findings);
  }
  return received;
}

void TerminalConversation::FromPlatform(const TransportHeader& header, const PacketHolder& holder,
                                        Millis now) {
  terminalConfirms_.Sent(header.PID, holder, now);
}

void TerminalConversation::CommandSent(uint32_t cid, uint16_t ccd) {
  if (commands_.size() == kMaxCommands) commands_.pop_front();
  commands_.push_back({cid, ccd});
}

void TerminalConversation::PartSent(uint16_t rn, uint16_t objectId, std::size_t part,
                                    std::size_t parts) {
  if (parts_.size() == kMaxParts) parts_.pop_front();
  parts_.push_back({rn, objectId, part, parts});
}

void TerminalConversation::Expire(Millis now, Findings& findings) {
  if (!authorizationAsked_ && !authorizationLateReported_ && now >= authorizationDeadline_) {
    authorizationLateReported_ = true;
    authorizationOverdue_ = true;
    findings.push_back(Warning("No authorization within %lld ms of connecting",
                                    static_cast<long long>(authorizationLimit_)));
  }
  terminalConfirms_.Expire(now, findings);
}

void TerminalConversation::ExpireAtClose(Millis now, Findings& findings) {
  Expire(now, findings);
  terminalConfirms_.ExpireAtClose(now, findings);
}

Millis TerminalConversation::NextDeadline() const {
  Millis next = terminalConfirms_.NextDeadline();
  if (!authorizationAsked_ && !authorizationLateReported_) {
    next = next < 0 ? authorizationDeadline_ : std::min(next, authorizationDeadline_);
  }
  return next;
}

}  // namespace session
