#include "app/single_packet.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "console/console_lock.h"
#include "app/packet_input.h"
#include "app/platform_exchange.h"
#include "console/service_report.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/transport_header.h"
#include "transport/transport_report.h"

std::string FormatSinglePacketReport(const StartupSettings& settings,
                                     const std::vector<uint8_t>& packet) {
  if (packet.empty()) return "WARNING: packet data not found\n";
  std::string text;
  if (settings.FileMode) text += StringPrintf("File: '%s'\n", settings.PacketFileName.c_str());
  text += "Packet data: \n ";
  text += HexText(packet.data(), packet.size());
  text += "\n\n";
  // A packet longer than 65535 bytes is checked on its first 65535 bytes,
  // not on its length modulo 65536.
  const uint16_t count = static_cast<uint16_t>(std::min<size_t>(packet.size(), 0xFFFF));
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(packet.data(), count, header);
  text += FormatTransportResult(code, header);
  return text;
}

namespace {

// The verbose service-layer report of a packet whose header is sound. The
// parser's own message, if any, goes out before the report.
void PrintServiceLayer(const std::vector<uint8_t>& packet) {
  const uint16_t count = static_cast<uint16_t>(std::min<size_t>(packet.size(), 0xFFFF));
  TransportHeader header;
  if (EGTS::IsError(ValidateTransportHeader(packet.data(), count, header))) return;
  PacketHolder holder;
  const uint8_t code = ParseFrameData(packet.data(), count, header, holder);
  WriteStdout(FormatServiceLayerReport(code, holder));
  ReleasePacket(holder);
}

}  // namespace

void RunSinglePacket(const StartupSettings& settings) {
  std::vector<uint8_t> packet;
  std::string message;
  if (settings.FileMode) {
    ReadRawPacketFile(settings.PacketFileName, packet, message);
  } else if (settings.ConsoleInput) {
    packet = ReadHexPacket(stdin);
  }
  const std::string report = FormatSinglePacketReport(settings, packet);
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteStdout(message + report);
    if (settings.Verbose && !packet.empty()) PrintServiceLayer(packet);
  }
  if (settings.SendToPlatform && !packet.empty()) {
    ExchangeWithPlatform({settings.PlatformAddress, settings.PlatformPort, settings.Verbose},
                         packet);
  }
}
