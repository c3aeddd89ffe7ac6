// Writes JSON Lines for the schema test: for each packet file given, the
// packet object of the packet as it is and of damaged copies (cut to five
// bytes, wrong HCS, wrong SFRCS, a record cut short), from each source
// kind, and as it is with the standard's subrecords (-x); then log objects
// whose texts hold every byte value.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "console/packet_json.h"
#include "service/record_parser.h"
#include "transport/transport_header.h"

namespace {

using Bytes = std::vector<uint8_t>;

void PrintPacket(const Bytes& bytes, const std::string& source,
                 std::vector<std::pair<std::string, std::string>> extra, bool malformed,
                 EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal) {
  PacketJson packet;
  packet.source = source;
  packet.extra = extra;
  packet.time = platform::CurrentSystemTime();
  packet.bytes = bytes;
  const uint16_t count = static_cast<uint16_t>(bytes.size() > 0xFFFF ? 0xFFFF : bytes.size());
  packet.transportResult = ValidateTransportHeader(bytes.data(), count, packet.header);
  PacketHolder holder;
  if (packet.transportResult < 128) {
    packet.frameResult = ParseFrameData(bytes.data(), count, packet.header, holder, set);
    packet.holder = &holder;
  }
  packet.malformed = malformed;
  packet.standard = set == EGTS::SubrecordSet::kStandard;
  std::puts(PacketJsonLine(packet).c_str());
}

}  // namespace

int main(int argc, char** argv) {
  std::string everyByte;
  for (int b = 1; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
  for (int i = 1; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    const Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 16) {
      std::fprintf(stderr, "%s: not a packet file\n", argv[i]);
      return 1;
    }
    PrintPacket(bytes, "file", {{"file", argv[i]}}, false);
    PrintPacket(bytes, "tcp", {{"client", "1"}, {"peer", "127.0.0.1:40522"}}, false);
    PrintPacket(Bytes(bytes.begin(), bytes.begin() + 5), "stdin", {}, false);
    Bytes damaged = bytes;
    damaged[10] ^= 0xFF;
    PrintPacket(damaged, "incoming", {{"file", everyByte}}, false);
    damaged = bytes;
    damaged.back() ^= 0xFF;
    PrintPacket(damaged, "platform", {}, false);
    PrintPacket(bytes, "response", {{"client", "1"}, {"peer", "127.0.0.1:40522"}}, true);
    PrintPacket(bytes, "command", {{"file", "outgoing.bin"}}, false);
    PrintPacket(bytes, "file", {{"file", argv[i]}}, false, EGTS::SubrecordSet::kStandard);
  }
  const platform::SystemTime now = platform::CurrentSystemTime();
  std::puts(LogJsonLine(now, "Main", "INFO", "New incomming TCP/IP connection").c_str());
  std::puts(LogJsonLine(now, everyByte, "ERROR", everyByte).c_str());
  return 0;
}
