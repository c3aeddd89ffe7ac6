#include "app/single_packet.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>

#include "app/input_packets.h"
#include "app/packet_input.h"
#include "app/platform_exchange.h"
#include "app/sms_input.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_json.h"
#include "console/service_report.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "util/text.h"
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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::size_t kCheckedBytes = 0xFFFF;

constexpr std::size_t kDumpChunk = 64 * 1024;

// Reads up to `limit` more bytes into `bytes`; false on a read error.
bool ReadUpTo(std::FILE* file, std::vector<uint8_t>& bytes, std::size_t limit) {
  const std::size_t start = bytes.size();
  bytes.resize(start + limit);
  const std::size_t got = std::fread(bytes.data() + start, 1, limit, file);
  bytes.resize(start + got);
  return std::ferror(file) == 0;
}

// The packet of the command line: the bytes held, and for a raw file the
// rest that is still to be read (and only dumped). Only the first 65535
// bytes are held of a file, all that the check and the parse look at, so
// memory does not grow with the file.
struct CommandLinePacket {
  std::vector<uint8_t> head;
  FileHandle rest;
  std::string message;  // an open or read error
  platform::SystemTime time = platform::CurrentSystemTime();
};

// Writes the hexadecimal text of the rest of the file, a chunk at a time.
void DumpRest(std::FILE* rest) {
  if (rest == nullptr) return;
  std::vector<uint8_t> chunk;
  for (bool more = true; more;) {
    chunk.clear();
    more = ReadUpTo(rest, chunk, kDumpChunk) && !chunk.empty();
    if (!chunk.empty()) WriteText(HexText(chunk.data(), chunk.size()));
  }
}

// The JSON object of the packet; the hex of the rest of a long file is
// written into its "bytes" text as it is read.
void PrintPacketObject(const StartupSettings& settings, const ReportOptions& options,
                       CommandLinePacket& packet) {
  const std::vector<uint8_t>& head = packet.head;
  const auto count = static_cast<uint16_t>(std::min(head.size(), kCheckedBytes));
  PacketJson object;
  object.source = settings.FileMode ? "file" : "stdin";
  if (settings.FileMode) object.extra.emplace_back("file", settings.PacketFileName);
  object.time = packet.time;
  object.bytes = head;
  object.transportResult = ValidateTransportHeader(head.data(), count, object.header);
  object.standard = options.standard;
  PacketHolder holder;
  if (!EGTS::IsError(object.transportResult)) {
    object.frameResult = ParseFrameData(head.data(), count, object.header, holder, options.Set());
    object.holder = &holder;
    object.malformed = RecordAreaMalformed(holder);
  }
  const std::string line = PacketJsonLine(object) + "\n";
  const std::string hexHead = "\"bytes\":\"" + HexText(head.data(), head.size());
  const std::size_t split = line.find(hexHead) + hexHead.size();
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteMessage(packet.message);
  std::fwrite(line.data(), 1, split, stdout);
  if (packet.rest) {
    std::vector<uint8_t> chunk;
    while (ReadUpTo(packet.rest.get(), chunk, kDumpChunk) && !chunk.empty()) {
      const std::string hex = HexText(chunk.data(), chunk.size());
      std::fwrite(hex.data(), 1, hex.size(), stdout);
      chunk.clear();
    }
  }
  std::fwrite(line.data() + split, 1, line.size() - split, stdout);
  std::fflush(stdout);
}

void PrintPacketText(const StartupSettings& settings, const ReportOptions& options,
                     CommandLinePacket& packet) {
  const std::vector<uint8_t>& head = packet.head;
  const auto count = static_cast<uint16_t>(std::min(head.size(), kCheckedBytes));
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(head.data(), count, header);
  std::string tail = "\n\n" + FormatTransportResult(code, header);
  if (options.serviceLayer && !EGTS::IsError(code)) {
    PacketHolder holder;
    const uint8_t parsed = ParseFrameData(head.data(), count, header, holder, options.Set());
    tail += MalformedRecordAreaText(holder, options.Set()) +
            FormatServiceLayerReport(parsed, holder, options.Set(), platform::UnixSeconds(packet.time));
  }
  std::string lead = packet.message;
  if (settings.FileMode) lead += StringPrintf("File: '%s'\n", settings.PacketFileName.c_str());
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(lead + "Packet data: \n " + HexText(head.data(), head.size()));
  DumpRest(packet.rest.get());
  WriteText(tail);
}

// Everything standard input holds, as it stands.
std::vector<uint8_t> ReadAll(std::FILE* input) {
  std::vector<uint8_t> bytes;
  while (ReadUpTo(input, bytes, kDumpChunk) && !std::feof(input)) {
  }
  return bytes;
}

// -m: the input is SMS PDUs; the packet is what they carry.
CommandLinePacket ReadSmsPacket(const StartupSettings& settings) {
  CommandLinePacket packet;
  std::vector<uint8_t> input;
  if (settings.FileMode) {
    ReadRawPacketFile(settings.PacketFileName, input, packet.message);
  } else if (settings.ConsoleInput) {
    input = ReadAll(stdin);
  }
  if (packet.message.empty()) {
    SmsInput decoded = DecodeSmsInput(input);
    packet.head = std::move(decoded.packet);
    packet.message = std::move(decoded.messages);
  }
  packet.time = platform::CurrentSystemTime();
  return packet;
}

CommandLinePacket ReadCommandLinePacket(const StartupSettings& settings) {
  if (settings.SmsPdu && (settings.FileMode || settings.ConsoleInput)) {
    return ReadSmsPacket(settings);
  }
  CommandLinePacket packet;
  if (!settings.FileMode) {
    if (settings.ConsoleInput) packet.head = ReadHexPacket(stdin);
  } else if (settings.SendToPlatform) {
    // Sent whole to the platform, so read whole.
    ReadRawPacketFile(settings.PacketFileName, packet.head, packet.message);
  } else {
    const std::string& name = settings.PacketFileName;
    packet.rest.reset(std::fopen(name.c_str(), "rb"));
    // A name that opens but cannot be read (a directory) is reported like
    // one that cannot be opened.
    if (!packet.rest || !ReadUpTo(packet.rest.get(), packet.head, kCheckedBytes)) {
      packet.message = StringPrintf("ERROR: can not open file '%s' %d\n", name.c_str(), errno);
    }
  }
  packet.time = platform::CurrentSystemTime();
  return packet;
}

}  // namespace

namespace {

void PrintInputPacket(const StartupSettings& settings, const ReportOptions& options,
                      CommandLinePacket& packet) {
  if (options.json) {
    PrintPacketObject(settings, options, packet);
  } else {
    PrintPacketText(settings, options, packet);
  }
}

// With -s: the input may hold several packets back to back; each is
// reported as the single packet is, just before it is sent.
void SendToPlatform(const StartupSettings& settings, const ReportOptions& options,
                    CommandLinePacket& input) {
  const InputPackets cut = CutInputPackets(input.head);
  if (cut.packets.empty()) {
    // Nothing to send: the input is reported whole, with why.
    PrintInputPacket(settings, options, input);
    WriteMessage(UnframedInputText(cut));
    return;
  }
  WriteMessage(UnframedInputText(cut));
  const auto announce = [&](std::size_t index) {
    CommandLinePacket packet;
    packet.head = cut.packets[index];
    if (index == 0) packet.message = input.message;
    PrintInputPacket(settings, options, packet);
  };
  ExchangeWithPlatform({settings.PlatformAddress, settings.PlatformPort, options}, cut.packets,
                       announce);
}

}  // namespace

void RunSinglePacket(const StartupSettings& settings) {
  const ReportOptions options = ReportOptionsOf(settings);
  CommandLinePacket packet = ReadCommandLinePacket(settings);
  if (packet.head.empty()) {
    WriteMessage(packet.message + FormatSinglePacketReport(settings, packet.head));
    return;
  }
  if (settings.SendToPlatform) {
    SendToPlatform(settings, options, packet);
    return;
  }
  PrintInputPacket(settings, options, packet);
}
