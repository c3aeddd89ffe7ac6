#include "service/packet.h"

#include <algorithm>
#include <new>

namespace EGTS {

uint16_t Packet::FrameDataLength() {
  uint16_t sum = 0;
  for (Record& record : records) {
    const uint16_t rl = RecordDataLength(record);
    sum = static_cast<uint16_t>(sum + rl + RecordHeaderLength(record.RFL));
  }
  return sum;
}

uint16_t Packet_Response::FrameDataLength() {
  return static_cast<uint16_t>(Packet::FrameDataLength() + 3);
}

uint16_t Packet_Signed_Appdata::FrameDataLength() {
  const size_t signature = std::min<size_t>(SIGL, SIGD.size());
  return static_cast<uint16_t>(Packet::FrameDataLength() + 2 + signature);
}

}  // namespace EGTS

namespace {

std::unique_ptr<EGTS::Packet> MakePacket(uint16_t type) {
  switch (type) {
    case EGTS::EGTS_PT_RESPONSE: return std::unique_ptr<EGTS::Packet>(new (std::nothrow) EGTS::Packet_Response);
    case EGTS::EGTS_PT_APPDATA: return std::unique_ptr<EGTS::Packet>(new (std::nothrow) EGTS::Packet_Appdata);
    case EGTS::EGTS_PT_SIGNED_APPDATA:
      return std::unique_ptr<EGTS::Packet>(new (std::nothrow) EGTS::Packet_Signed_Appdata);
    default: return nullptr;
  }
}

}  // namespace

bool CreatePacket(PacketHolder& holder, uint16_t type) {
  holder.packet.reset();
  holder.type = static_cast<int16_t>(type);
  holder.packet = MakePacket(type);
  if (type > EGTS::EGTS_PT_SIGNED_APPDATA) holder.type = -1;
  return holder.packet != nullptr;
}

void ReleasePacket(PacketHolder& holder) { holder.packet.reset(); }

bool RecordAreaMalformed(const PacketHolder& holder) {
  return holder.packet && (holder.packet->malformedRecordArea || holder.packet->recordAreaCutShort);
}
