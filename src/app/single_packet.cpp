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
#include "pipeline/packet_pipeline.h"
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

// A text to standard output as it is (JSON), or as a text for a person.
void WriteOut(std::FILE* out, const std::string& text) {
  if (out == nullptr) {
    WriteText(text);
    return;
  }
  std::fwrite(text.data(), 1, text.size(), out);
  std::fflush(out);
}

// Writes the hexadecimal text of the rest of the file, a chunk at a time.
void DumpRest(std::FILE* out, std::FILE* rest) {
  if (rest == nullptr) return;
  std::vector<uint8_t> chunk;
  for (bool more = true; more;) {
    chunk.clear();
    more = ReadUpTo(rest, chunk, kDumpChunk) && !chunk.empty();
    if (!chunk.empty()) WriteOut(out, HexText(chunk.data(), chunk.size()));
  }
}

// The packet's report: its dump (in JSON the "bytes" text) takes the rest
// of a long file, read as it is written; then the checks of its positions.
void PrintPacket(const StartupSettings& settings, const PacketRoad& road,
                 CommandLinePacket& packet) {
  const std::vector<uint8_t>& head = packet.head;
  pipeline::PacketIn in;
  in.bytes = head;
  in.time = packet.time;
  in.body = pipeline::TextBody::kFile;
  if (road.report.json) {
    in.source = settings.FileMode ? "file" : "stdin";
    if (settings.FileMode) in.extra.emplace_back("file", settings.PacketFileName);
  } else {
    in.textLead = packet.message;
    if (settings.FileMode) {
      in.textLead += StringPrintf("File: '%s'\n", settings.PacketFileName.c_str());
    }
    in.textLead += "Packet data: \n " + HexText(head.data(), head.size());
    in.textJoin = "\n\n";
  }
  in.origin.label = settings.FileMode ? settings.PacketFileName : "stdin";
  const pipeline::PacketOut taken = pipeline::PacketPipeline(road).Take(in);
  const std::string& block = taken.block;
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    std::FILE* out = road.report.json ? stdout : nullptr;
    if (out != nullptr) WriteMessage(packet.message);
    WriteOut(out, block.substr(0, taken.split));
    DumpRest(out, packet.rest.get());
    WriteOut(out, block.substr(taken.split));
  }
  std::string lines;
  for (const session::Finding& finding : taken.trackFindings) {
    lines += session::FindingLine(finding);
  }
  WriteMessage(lines);
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

void PrintInputPacket(const StartupSettings& settings, const PacketRoad& road,
                      CommandLinePacket& packet) {
  PrintPacket(settings, road, packet);
}

// With -s: the input may hold several packets back to back; each is
// reported as the single packet is, just before it is sent.
void SendToPlatform(const StartupSettings& settings, const PacketRoad& road,
                    CommandLinePacket& input) {
  const InputPackets cut = CutInputPackets(input.head);
  if (cut.packets.empty()) {
    // Nothing to send: the input is reported whole, with why.
    PrintInputPacket(settings, road, input);
    WriteMessage(UnframedInputText(cut));
    return;
  }
  WriteMessage(UnframedInputText(cut));
  const auto announce = [&](std::size_t index) {
    CommandLinePacket packet;
    packet.head = cut.packets[index];
    if (index == 0) packet.message = input.message;
    PrintInputPacket(settings, road, packet);
  };
  PlatformExchange exchange{settings.PlatformAddress, settings.PlatformPort, road.report};
  exchange.tracks = road.tracks;
  ExchangeWithPlatform(exchange, cut.packets, announce);
}

}  // namespace

void RunSinglePacket(const StartupSettings& settings, const PacketRoad& road) {
  CommandLinePacket packet = ReadCommandLinePacket(settings);
  if (packet.head.empty()) {
    WriteMessage(packet.message + FormatSinglePacketReport(settings, packet.head));
    return;
  }
  if (settings.SendToPlatform) {
    SendToPlatform(settings, road, packet);
    return;
  }
  PrintInputPacket(settings, road, packet);
}
