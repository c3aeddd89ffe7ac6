#include "compose/command_packet.h"

#include <memory>
#include <new>

#include "compose/packet_serializer.h"
#include "service/packet.h"
#include "service/subrecord_types.h"
#include "transport/result_codes.h"

using namespace EGTS;

namespace {

constexpr uint8_t kCommandRecordFlags = 0x59;  // RSOD, RPP 3, OBFE

TransportHeader CommandHeader(CommandCounters& counters) {
  TransportHeader header;
  header.PRV = 1;
  header.HL = kShortHeaderLength;
  header.PID = static_cast<uint16_t>(counters.packetId & 0xFFFF);
  header.PT = EGTS_PT_APPDATA;
  ++counters.packetId;
  return header;
}

Record CommandRecord(uint32_t devId, CommandCounters& counters) {
  Record record;
  record.RN = counters.recordNumber++;
  record.RFL = kCommandRecordFlags;
  record.OID = devId;
  record.SST = EGTS_COMMANDS_SERVICE;
  record.RST = EGTS_COMMANDS_SERVICE;
  return record;
}

}  // namespace

uint8_t ComposeCommandPacket(const Subrecord_COMMAND_DATA& command, CommandCounters& counters,
                             bytestream& out) {
  out.Reset();
  TransportHeader header = CommandHeader(counters);
  PacketHolder holder;
  if (!CreatePacket(holder, EGTS_PT_APPDATA)) return EGTS_PC_NO_RES_AVAIL;

  Record record = CommandRecord(command.DEV_ID, counters);
  std::unique_ptr<Subrecord_COMMAND_DATA> copy(new (std::nothrow) Subrecord_COMMAND_DATA(command));
  if (!copy) return EGTS_PC_NO_RES_AVAIL;
  if (copy->CID() == 0) copy->SetCID(++counters.commandId);

  AppendSubrecord(record, EGTS_SR_COMMAND_DATA, std::move(copy));
  holder.packet->records.push_back(std::move(record));
  header.FDL = holder.packet->FrameDataLength();

  const uint8_t result = SerializePacket(out, header, holder);
  ReleasePacket(holder);
  return result;
}
