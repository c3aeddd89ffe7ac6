#include "compose/record_packet.h"

#include "transport/checksum.h"
#include "transport/transport_header.h"

namespace {

constexpr std::size_t kMostFrameData = 65517;  // 65535 - HL 11 - SFRCS 2 - rounding to RL

void PutU16(std::vector<uint8_t>& out, std::size_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

std::optional<RecordPacket> ComposeRecordPacket(uint8_t service,
                                                const std::vector<RawSubrecord>& subrecords,
                                                ConfirmationCounters& counters) {
  std::vector<uint8_t> data;
  for (const RawSubrecord& subrecord : subrecords) {
    data.push_back(subrecord.srt);
    PutU16(data, subrecord.srd.size());
    data.insert(data.end(), subrecord.srd.begin(), subrecord.srd.end());
  }
  if (data.size() + 7 > kMostFrameData) return std::nullopt;
  RecordPacket packet;
  packet.pid = counters.packetId++;
  packet.rn = counters.recordNumber++;
  std::vector<uint8_t> frame;
  PutU16(frame, data.size());
  PutU16(frame, packet.rn);
  frame.push_back(0x00);  // RFL
  frame.push_back(service);
  frame.push_back(service);
  frame.insert(frame.end(), data.begin(), data.end());
  std::vector<uint8_t>& bytes = packet.bytes;
  bytes = {0x01, 0x00, 0x00, kShortHeaderLength, 0x00};
  PutU16(bytes, frame.size());
  PutU16(bytes, packet.pid);
  bytes.push_back(0x01);  // EGTS_PT_APPDATA
  bytes.push_back(Crc8(bytes.data(), static_cast<uint8_t>(bytes.size())));
  bytes.insert(bytes.end(), frame.begin(), frame.end());
  PutU16(bytes, Crc16(frame.data(), static_cast<uint16_t>(frame.size())));
  return packet;
}
