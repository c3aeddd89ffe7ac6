#include "app/single_packet.h"

#include <algorithm>
#include <cerrno>
#include <memory>
#include <cstdio>
#include <mutex>

#include "app/packet_input.h"
#include "app/platform_exchange.h"
#include "console/console_lock.h"
#include "console/console_output.h"
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
  WriteText(MalformedRecordAreaText(holder) + FormatServiceLayerReport(code, holder));
  ReleasePacket(holder);
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Reads up to `limit` more bytes into `bytes`; false on a read error.
bool ReadUpTo(std::FILE* file, std::vector<uint8_t>& bytes, std::size_t limit) {
  const std::size_t start = bytes.size();
  bytes.resize(start + limit);
  const std::size_t got = std::fread(bytes.data() + start, 1, limit, file);
  bytes.resize(start + got);
  return std::ferror(file) == 0;
}

// The report of a raw packet file, written as it is read: only the first
// 65535 bytes (all that the check and the parse look at) are held, the
// rest is dumped a chunk at a time, so memory does not grow with the file.
void StreamFilePacket(const StartupSettings& settings) {
  const std::string& name = settings.PacketFileName;
  const std::string openError = StringPrintf("ERROR: can not open file '%s' %%d\n", name.c_str());
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(name.c_str(), "rb"));
  std::vector<uint8_t> head;
  std::string message;
  if (!file) {
    message = StringPrintf(openError.c_str(), errno);
  } else if (!ReadUpTo(file.get(), head, 0xFFFF)) {
    // A name that opens but cannot be read (a directory) is reported like
    // one that cannot be opened.
    message = StringPrintf(openError.c_str(), errno);
  }
  if (head.empty()) {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteText(message + FormatSinglePacketReport(settings, head));
    return;
  }
  TransportHeader header;
  const auto count = static_cast<uint16_t>(head.size());
  const uint8_t code = ValidateTransportHeader(head.data(), count, header);
  std::string tail = "\n\n" + FormatTransportResult(code, header);
  if (settings.Verbose && !EGTS::IsError(code)) {
    PacketHolder holder;
    const uint8_t parsed = ParseFrameData(head.data(), count, header, holder);
    tail += MalformedRecordAreaText(holder) + FormatServiceLayerReport(parsed, holder);
  }

  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(message + StringPrintf("File: '%s'\n", name.c_str()) + "Packet data: \n " +
              HexText(head.data(), head.size()));
  std::vector<uint8_t> chunk;
  for (bool more = true; more;) {
    chunk.clear();
    more = ReadUpTo(file.get(), chunk, 64 * 1024) && !chunk.empty();
    if (!chunk.empty()) WriteText(HexText(chunk.data(), chunk.size()));
  }
  WriteText(tail);
}

}  // namespace

void RunSinglePacket(const StartupSettings& settings) {
  if (settings.FileMode && !settings.SendToPlatform) {
    StreamFilePacket(settings);
    return;
  }
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
    WriteText(message + report);
    if (settings.Verbose && !packet.empty()) PrintServiceLayer(packet);
  }
  if (settings.SendToPlatform && !packet.empty()) {
    ExchangeWithPlatform({settings.PlatformAddress, settings.PlatformPort, settings.Verbose},
                         packet);
  }
}
