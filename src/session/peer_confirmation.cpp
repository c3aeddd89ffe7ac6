#include "session/peer_confirmation.h"

#include <algorithm>

#include "service/common/subrecord_record_response.h"
#include "service/subrecord_types.h"
#include "util/text.h"

namespace session {

bool RecordWantsResponse(const EGTS::Record& record) {
  if (record.subrecords.empty()) return true;
  return std::any_of(record.subrecords.begin(), record.subrecords.end(), [](const auto& entry) {
    return entry.SRT != EGTS::EGTS_SR_RECORD_RESPONSE || !entry.cutHeader.empty();
  });
}

bool PeerConfirmation::ConfirmsOurResponse(const PacketHolder& parsed) const {
  if (!parsed.packet) return false;
  for (const EGTS::Record& record : parsed.packet->records) {
    if (RecordWantsResponse(record)) continue;
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      const auto* response =
          dynamic_cast<const EGTS::Subrecord_RECORD_RESPONSE*>(entry.object.get());
      if (response != nullptr && std::find(ourResponseRecords_.begin(), ourResponseRecords_.end(),
                                           response->CRN()) != ourResponseRecords_.end()) {
        return true;
      }
    }
  }
  return false;
}

uint8_t PeerConfirmation::Compose(const TransportHeader& received, uint8_t parseResult,
                                  const PacketHolder& parsed, ConfirmationCounters& counters,
                                  EGTS::bytestream& out, Findings& findings) {
  if (!warned_ && ConfirmsOurResponse(parsed)) {
    warned_ = true;
    findings.push_back(Warning(
        "The %s confirms our confirmations: its records that hold only RECORD_RESPONSE "
        "are confirmed by their packet alone",
        peer_));
  }
  const uint16_t first = counters.recordNumber;
  const uint8_t result =
      ComposeConfirmation(received, parseResult, parsed, counters, out, &RecordWantsResponse);
  // Once warned, nothing more is needed of the numbers.
  for (uint16_t rn = first; !warned_ && rn != counters.recordNumber; ++rn) {
    if (ourResponseRecords_.size() == kRemembered) ourResponseRecords_.pop_front();
    ourResponseRecords_.push_back(rn);
  }
  return result;
}

}  // namespace session
