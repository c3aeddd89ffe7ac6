#include "support/packet_builder.h"

#include "service/record_parser.h"
#include "transport/checksum.h"
#include "util/text.h"

namespace testing_support {

void PutU16(Bytes& out, uint16_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void PutU32(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

Bytes SubrecordBytes(uint8_t srt, const Bytes& srd) {
  Bytes out{srt};
  PutU16(out, static_cast<uint16_t>(srd.size()));
  out.insert(out.end(), srd.begin(), srd.end());
  return out;
}

Bytes RecordBytes(const RecordFields& fields, const Bytes& rd) {
  Bytes out;
  PutU16(out, static_cast<uint16_t>(rd.size()));
  PutU16(out, fields.RN);
  out.push_back(fields.RFL);
  if (fields.RFL & 0x01) PutU32(out, fields.OID);
  if (fields.RFL & 0x02) PutU32(out, fields.EVID);
  if (fields.RFL & 0x04) PutU32(out, fields.TM);
  out.push_back(fields.SST);
  out.push_back(fields.RST);
  out.insert(out.end(), rd.begin(), rd.end());
  return out;
}

Bytes PacketBytes(uint8_t pt, const Bytes& frameData, uint16_t pid) {
  Bytes out{0x01, 0x00, 0x00, 0x0B, 0x00};
  PutU16(out, static_cast<uint16_t>(frameData.size()));
  PutU16(out, pid);
  out.push_back(pt);
  out.push_back(Crc8(out.data(), 10));
  if (frameData.empty()) return out;
  out.insert(out.end(), frameData.begin(), frameData.end());
  PutU16(out, Crc16(frameData.data(), static_cast<uint16_t>(frameData.size())));
  return out;
}

Bytes RoutedPacketBytes(uint8_t pt, const Bytes& frameData, uint16_t pra, uint16_t rca,
                        uint8_t ttl, uint16_t pid) {
  Bytes out{0x01, 0x00, 0x20, 0x10, 0x00};
  PutU16(out, static_cast<uint16_t>(frameData.size()));
  PutU16(out, pid);
  out.push_back(pt);
  PutU16(out, pra);
  PutU16(out, rca);
  out.push_back(ttl);
  out.push_back(Crc8(out.data(), 15));
  if (frameData.empty()) return out;
  out.insert(out.end(), frameData.begin(), frameData.end());
  PutU16(out, Crc16(frameData.data(), static_cast<uint16_t>(frameData.size())));
  return out;
}

Bytes EchoOfConfirmation(const Bytes& packet, uint16_t pid) {
  TransportHeader header;
  const auto count = static_cast<uint16_t>(packet.size());
  PacketHolder holder;
  if (ValidateTransportHeader(packet.data(), count, header) != 0 || header.PT != 0 ||
      ParseFrameData(packet.data(), count, header, holder) != 0 || !holder.packet) {
    return {};
  }
  Bytes frame;
  for (const EGTS::Record& record : holder.packet->records) {
    Bytes srd;
    PutU16(srd, record.RN);
    srd.push_back(0);
    const Bytes echo = RecordBytes({.RN = static_cast<uint16_t>(pid + record.RN), .SST = record.RST,
                                    .RST = record.SST},
                                   SubrecordBytes(0, srd));
    frame.insert(frame.end(), echo.begin(), echo.end());
  }
  return frame.empty() ? Bytes{} : PacketBytes(1, frame, pid);
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

std::string Hex(const Bytes& bytes) {
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i) text += ' ';
    text += StringPrintf("%.2X", bytes[i]);
  }
  return text;
}

Bytes IdentityPacket(uint16_t pid, uint16_t rn) {
  // TID 1133, flags IMEIE, then the IMEI.
  Bytes srd = {0x6D, 0x04, 0x00, 0x00, 0x02};
  for (const char c : std::string("861715033983983")) srd.push_back(static_cast<uint8_t>(c));
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 1;
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(1, srd)), pid);
}

}  // namespace testing_support
