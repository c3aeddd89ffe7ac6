#include "session/unit_facts.h"

#include <span>

#include "service/auth/subrecord_term_identity.h"
#include "service/auth/subrecord_vehicle_data.h"
#include "service/commands/subrecord_command_data.h"
#include "service/common/subrecord_record_response.h"
#include "service/ecall/subrecord_accel_data.h"
#include "service/ecall/subrecord_ecall_raw_msd_data.h"
#include "service/ecall/subrecord_track_data.h"
#include "util/byte_order.h"
#include "util/text.h"

namespace session {

namespace {

template <typename Container>
void Bound(Container& container) {
  while (container.size() > UnitFacts::kMostKept) container.erase(container.begin());
}

// Texts of the identity as sent (CP-1251) in UTF-8, without the NUL
// padding some units add.
std::string Trimmed(const std::string& text) {
  const std::string kept = text.substr(0, text.find('\0'));
  return Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(kept.data()), kept.size());
}

void TakeAnswer(const EGTS::Subrecord_COMMAND_DATA& command, UnitFacts& facts) {
  if (command.CT() != EGTS::EGTS_CT_COMCONF) return;
  CommandAnswer answer;
  answer.cct = command.CCT();
  // The confirmation form of CD: ADR u16, CCD u16, DT; none without data.
  const std::span<const uint8_t> cd = command.CD();
  if (cd.size() >= 4) {
    answer.ccd = ReadU16(cd.data() + 2);
    answer.dt.assign(cd.begin() + 4, cd.end());
  }
  facts.answers[command.CID()] = std::move(answer);
  Bound(facts.answers);
}

void TakeSubrecord(const EGTS::Subrecord_Entry& entry, UnitFacts& facts, bool& track,
                   bool& accel) {
  const EGTS::Subrecord_Class* object = entry.object.get();
  if (const auto* identity = dynamic_cast<const EGTS::Subrecord_TERM_IDENTITY*>(object)) {
    facts.identities.push_back({identity->TID(), Trimmed(identity->IMEI()), Trimmed(identity->IMSI()),
                                Trimmed(identity->MSISDN()),
                                static_cast<uint16_t>(identity->BSE() ? identity->BS() : 0)});
  } else if (const auto* vehicle = dynamic_cast<const EGTS::Subrecord_VEHICLE_DATA*>(object)) {
    facts.vehicles.push_back({Trimmed(vehicle->VIN()), vehicle->VHT(), vehicle->VPST()});
  } else if (const auto* points = dynamic_cast<const EGTS::Subrecord_TRACK_DATA*>(object)) {
    facts.trackPoints += static_cast<uint32_t>(points->PointCount());
    track = true;
  } else if (const auto* samples = dynamic_cast<const EGTS::Subrecord_ACCEL_DATA*>(object)) {
    facts.accelSamples += static_cast<uint32_t>(samples->StructureCount());
    accel = true;
  } else if (const auto* msd = dynamic_cast<const EGTS::Subrecord_ECALL_RAW_MSD_DATA*>(object)) {
    std::vector<uint8_t> bytes;
    if (msd->data) bytes.assign(msd->data->bytes.begin(), msd->data->bytes.begin() + msd->data->position);
    facts.msds.push_back(std::move(bytes));
  } else if (const auto* command = dynamic_cast<const EGTS::Subrecord_COMMAND_DATA*>(object)) {
    TakeAnswer(*command, facts);
  } else if (const auto* response = dynamic_cast<const EGTS::Subrecord_RECORD_RESPONSE*>(object)) {
    facts.recordResults[response->CRN()] = response->RST();
  }
}

}  // namespace

void UnitFacts::Take(const TransportHeader& header, const PacketHolder& holder) {
  if (!holder.packet) return;
  if (const auto* response = dynamic_cast<const EGTS::Packet_Response*>(holder.packet.get())) {
    packetResults[response->RPID] = response->PR;
  }
  (void)header;
  for (const EGTS::Record& record : holder.packet->records) {
    bool track = false;
    bool accel = false;
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      TakeSubrecord(entry, *this, track, accel);
    }
    trackRecords += track ? 1 : 0;
    accelRecords += accel ? 1 : 0;
  }
  Bound(identities);
  Bound(vehicles);
  Bound(msds);
  Bound(packetResults);
  Bound(recordResults);
}

void UnitFacts::ClearData() {
  trackPoints = trackRecords = accelSamples = accelRecords = 0;
  msds.clear();
}

}  // namespace session
