#include "compose/confirmation.h"

#include <memory>
#include <new>

#include "compose/packet_serializer.h"
#include "service/common/subrecord_record_response.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"

using namespace EGTS;

bool NeedsConfirmation(uint8_t headerCode, const TransportHeader& header) {
  return !IsError(headerCode) && header.PT != EGTS_PT_RESPONSE;
}

uint8_t RecordStatus(const Record& record) {
  if (record.result != EGTS_PC_OK) return record.result;
  for (const Subrecord_Entry& entry : record.subrecords) {
    if (entry.result != EGTS_PC_OK) return entry.result;
  }
  return EGTS_PC_OK;
}

namespace {

Record ResponseRecord(const Record& received, ConfirmationCounters& counters) {
  Record record;
  record.RN = counters.recordNumber++;
  record.RFL = 0;
  record.SST = received.RST;
  record.RST = received.SST;
  auto response = std::make_unique<Subrecord_RECORD_RESPONSE>();
  response->SetCRN(received.RN);
  response->SetRST(RecordStatus(received));
  AppendSubrecord(record, EGTS_SR_RECORD_RESPONSE, std::move(response));
  return record;
}

}  // namespace

uint8_t ComposeConfirmation(const TransportHeader& received, uint8_t parseResult,
                            const PacketHolder& parsed, ConfirmationCounters& counters,
                            bytestream& out, ConfirmedRecords confirmed) {
  out.Reset();
  PacketHolder holder;
  if (!CreatePacket(holder, EGTS_PT_RESPONSE)) return EGTS_PC_NO_RES_AVAIL;
  auto& response = static_cast<Packet_Response&>(*holder.packet);
  response.RPID = received.PID;
  response.PR = parseResult;
  if (parseResult == EGTS_PC_OK && parsed.packet) {
    for (const Record& record : parsed.packet->records) {
      if (confirmed == nullptr || confirmed(record)) {
        response.records.push_back(ResponseRecord(record, counters));
      }
    }
  }
  TransportHeader header;
  header.PRV = 1;
  header.HL = kShortHeaderLength;
  header.PID = counters.packetId++;
  header.PT = EGTS_PT_RESPONSE;
  header.FDL = response.FrameDataLength();
  const uint8_t result = SerializePacket(out, header, holder);
  ReleasePacket(holder);
  return result;
}
