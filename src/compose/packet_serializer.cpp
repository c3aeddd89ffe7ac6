#include "compose/packet_serializer.h"

#include "transport/checksum.h"
#include "transport/result_codes.h"

using namespace EGTS;

namespace {

constexpr uint32_t kMaxLength = 0xFFFF;
constexpr uint32_t kLastRecordHeaderEnd = 65533;

// Appends one subrecord: SRT, SRL from the bytes the object encoded, SRD.
uint8_t SerializeSubrecord(bytestream& out, const Subrecord_Entry& entry, uint32_t& written) {
  out.AppendByte(static_cast<uint8_t>(entry.SRT & 0xFF));
  if (!entry.object) {
    out.AppendU16(0);
    return EGTS_PC_NO_RES_AVAIL;
  }
  bytestream srd;
  const uint8_t encoded = entry.object->Encode(srd);
  (void)encoded;  // a partial encoding is still written as it stands
  if (srd.position > kMaxLength) return EGTS_PC_INVDATALEN;
  out.AppendU16(static_cast<uint16_t>(srd.position));
  out.WriteBlock(srd.bytes.data(), static_cast<uint16_t>(srd.position));
  written = kSubrecordHeaderLength + srd.position;
  return EGTS_PC_OK;
}

}  // namespace

uint8_t SerializeRecord(bytestream& out, uint32_t offset, Record& record, uint16_t& count) {
  count = 0;
  out.AppendU16(record.RL);
  out.AppendU16(record.RN);
  out.AppendByte(record.RFL);
  if (record.RFL & RFL_OBFE) out.AppendU32(record.OID);
  if (record.RFL & RFL_EVFE) out.AppendU32(record.EVID);
  if (record.RFL & RFL_TMFE) out.AppendU32(record.TM);
  out.AppendByte(record.SST);
  out.AppendByte(record.RST);
  const uint32_t headerLength = RecordHeaderLength(record.RFL);
  if (out.position > kLastRecordHeaderEnd) return EGTS_PC_IN_PROGRESS;

  uint32_t dataLength = 0;
  for (const Subrecord_Entry& entry : record.subrecords) {
    uint32_t written = 0;
    const uint8_t result = SerializeSubrecord(out, entry, written);
    if (result != EGTS_PC_OK) return result;
    dataLength += written;
    // RL is 16 bits: a longer record is refused, never written wrapped.
    if (dataLength > kMaxLength) return EGTS_PC_INVDATALEN;
  }
  out.PatchU16(offset, static_cast<uint16_t>(dataLength));
  record.RL = static_cast<uint16_t>(dataLength);
  const uint32_t total = headerLength + dataLength;
  if (total > kMaxLength) return EGTS_PC_INVDATALEN;
  count = static_cast<uint16_t>(total);
  return EGTS_PC_OK;
}

uint8_t SerializeFrameData(bytestream& out, const TransportHeader& header, PacketHolder& holder,
                           uint16_t& count) {
  count = 0;
  if (!holder.packet) return EGTS_PC_UNS_TYPE;
  uint32_t total = 0;
  switch (header.PT) {
    case EGTS_PT_RESPONSE: {
      auto* response = dynamic_cast<Packet_Response*>(holder.packet.get());
      if (response == nullptr) return EGTS_PC_UNS_TYPE;
      out.AppendU16(response->RPID);
      out.AppendByte(response->PR);
      total = 3;
      break;
    }
    case EGTS_PT_APPDATA:
      break;
    case EGTS_PT_SIGNED_APPDATA: {
      auto* signedPacket = dynamic_cast<Packet_Signed_Appdata*>(holder.packet.get());
      if (signedPacket == nullptr) return EGTS_PC_UNS_TYPE;
      out.AppendU16(signedPacket->SIGL);
      if (signedPacket->SIGL > kMaxSignatureLength ||
          signedPacket->SIGD.size() < signedPacket->SIGL) {
        return EGTS_PC_INVDATALEN;
      }
      out.WriteBlock(signedPacket->SIGD.data(), signedPacket->SIGL);
      total = 2u + signedPacket->SIGL;
      break;
    }
    default:
      return EGTS_PC_UNS_TYPE;
  }
  uint32_t recordStart = out.position;
  for (Record& record : holder.packet->records) {
    uint16_t recordBytes = 0;
    const uint8_t result = SerializeRecord(out, recordStart, record, recordBytes);
    if (result != EGTS_PC_OK) return result;
    total += recordBytes;
    recordStart += recordBytes;
    // FDL is 16 bits: longer frame data is refused, never written wrapped.
    if (total > kMaxLength) return EGTS_PC_INVDATALEN;
  }
  count = static_cast<uint16_t>(total);
  return EGTS_PC_OK;
}

uint8_t SerializePacket(bytestream& out, TransportHeader& header, PacketHolder& holder) {
  out.Reset();
  if (header.PRV != 1 || header.PRF() != 0) return EGTS_PC_UNS_PROTOCOL;

  out.AppendByte(1);
  out.AppendByte(header.SKID);
  out.AppendByte(header.flags);
  out.AppendByte(header.HL);
  out.AppendByte(header.HE);
  out.AppendU16(header.FDL);
  out.AppendU16(header.PID);
  out.AppendByte(header.PT);
  if (header.RTE()) {
    out.AppendU16(header.PRA);
    out.AppendU16(header.RCA);
    out.AppendByte(header.TTL);
  }
  const uint8_t hl = header.RTE() ? kRoutedHeaderLength : kShortHeaderLength;
  out.bytes[3] = hl;
  out.AppendByte(0);  // HCS placeholder
  header.HL = hl;

  if (header.FDL != 0) {
    uint16_t n = 0;
    const uint8_t result = SerializeFrameData(out, header, holder, n);
    if (result != EGTS_PC_OK) return result;
    out.PatchU16(5, n);
    const uint16_t sfrcs = Crc16(out.bytes.data() + hl, n);
    out.AppendU16(sfrcs);
    holder.SFRCS = sfrcs;
    header.FDL = n;
  }
  out.bytes[hl - 1] = Crc8(out.bytes.data(), static_cast<uint8_t>(hl - 1));
  header.HCS = out.bytes[hl - 1];
  return EGTS_PC_OK;
}
