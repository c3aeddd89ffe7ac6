#include "session/platform_checks.h"

#include "service/auth/subrecord_auth_result_code.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace session {

namespace {

// The RESULT_CODE of the first AUTH record that holds one, whatever the
// packet type; -1 without one.
int ResultCodeOf(const PacketHolder& holder) {
  if (!holder.packet) return -1;
  for (const EGTS::Record& record : holder.packet->records) {
    if (record.RST != EGTS::EGTS_AUTH_SERVICE) continue;
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      const auto* answer =
          dynamic_cast<const EGTS::Subrecord_AUTH_RESULT_CODE*>(entry.object.get());
      if (answer != nullptr) return answer->RCD();
    }
  }
  return -1;
}

}  // namespace

int AuthorizationAnswer(const PacketHolder& holder) {
  return holder.type == EGTS::EGTS_PT_RESPONSE ? -1 : ResultCodeOf(holder);
}

void PlatformPacketChecks::Received(const TransportHeader& header, const PacketHolder& holder,
                                    Findings& findings) {
  if (pids_.Repeated(header.PID)) {
    findings.push_back(Warning("Packet %u of the platform received again",
                                    unsigned{header.PID}));
  }
  const int misplaced = holder.type == EGTS::EGTS_PT_RESPONSE ? ResultCodeOf(holder) : -1;
  if (misplaced >= 0) {
    findings.push_back(Warning(
        "Packet %u of the platform is a RESPONSE that carries RESULT_CODE %d (%s): a "
        "terminal takes the authorization answer only from APPDATA",
        unsigned{header.PID}, misplaced, ResultCodeText(static_cast<unsigned>(misplaced))));
  }
}

}  // namespace session
