#include "session/conversation_unit.h"

#include <utility>

#include "service/record_parser.h"
#include "transport/result_codes.h"

namespace session {

bool ReadPlatformPacket(std::span<const uint8_t> bytes, PlatformPacket& packet) {
  PacketRead read = ReadPacket(bytes, EGTS::SubrecordSet::kStandard);
  if (EGTS::IsError(read.headerResult)) return false;
  packet.header = read.header;
  packet.parsed = read.frameResult;
  packet.holder = std::move(read.holder);
  packet.application = packet.header.PT != EGTS::EGTS_PT_RESPONSE;
  return true;
}

}  // namespace session
