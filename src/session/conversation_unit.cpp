#include "session/conversation_unit.h"

#include <algorithm>

#include "service/record_parser.h"
#include "transport/result_codes.h"

namespace session {

bool ReadPlatformPacket(std::span<const uint8_t> bytes, PlatformPacket& packet) {
  const auto count = static_cast<uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
  if (EGTS::IsError(ValidateTransportHeader(bytes.data(), count, packet.header))) return false;
  packet.parsed = ParseFrameData(bytes.data(), count, packet.header, packet.holder,
                                 EGTS::SubrecordSet::kStandard);
  packet.application = packet.header.PT != EGTS::EGTS_PT_RESPONSE;
  return true;
}

}  // namespace session
