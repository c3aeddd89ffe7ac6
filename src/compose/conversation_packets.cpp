#include "compose/conversation_packets.h"

#include <memory>

#include "compose/command_packet.h"
#include "compose/packet_serializer.h"
#include "service/packet.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"

using namespace EGTS;

uint8_t ComposeAuthorizationAnswer(uint8_t rcd, ConfirmationCounters& counters, bytestream& out) {
  out.Reset();
  PacketHolder holder;
  if (!CreatePacket(holder, EGTS_PT_APPDATA)) return EGTS_PC_NO_RES_AVAIL;
  Record record;
  record.RN = counters.recordNumber++;
  record.RFL = 0;
  record.SST = EGTS_AUTH_SERVICE;
  record.RST = EGTS_AUTH_SERVICE;
  auto answer = std::make_unique<Subrecord_AUTH_RESULT_CODE>();
  answer->SetRCD(rcd);
  AppendSubrecord(record, EGTS_SR_AUTH_RESULT_CODE, std::move(answer));
  holder.packet->records.push_back(std::move(record));

  TransportHeader header;
  header.PRV = 1;
  header.HL = kShortHeaderLength;
  header.PID = counters.packetId++;
  header.PT = EGTS_PT_APPDATA;
  header.FDL = holder.packet->FrameDataLength();
  const uint8_t result = SerializePacket(out, header, holder);
  ReleasePacket(holder);
  return result;
}

uint8_t ComposeConnectionCommand(const Subrecord_COMMAND_DATA& command, uint32_t cid,
                                 ConfirmationCounters& counters, bytestream& out) {
  CommandCounters numbers;
  numbers.packetId = counters.packetId;
  numbers.recordNumber = counters.recordNumber;
  Subrecord_COMMAND_DATA numbered = command;
  numbered.SetCID(cid);
  const uint8_t result = ComposeCommandPacket(numbered, numbers, out);
  counters.packetId = static_cast<uint16_t>(numbers.packetId);
  counters.recordNumber = numbers.recordNumber;
  return result;
}
