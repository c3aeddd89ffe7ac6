// libFuzzer target: the JSON line of any packet bytes is valid JSON (the
// parse below is strict about UTF-8) and holds what the parse found: the
// transport result, PID and FDL when the header was read, and as many
// records as the frame-data parse made.
//
// The input is the packet as it would arrive; its first bytes also serve
// as the peer text, so that names holding any byte are covered as well.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "console/packet_json.h"
#include "service/record_parser.h"
#include "transport/transport_header.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_json: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint16_t count = static_cast<uint16_t>(std::min<size_t>(size, 0xFFFF));
  PacketJson packet;
  packet.source = "tcp";
  const std::vector<std::pair<std::string, std::string>> extra = {
      {"client", "1"},
      {"peer", std::string(reinterpret_cast<const char*>(data), std::min<size_t>(size, 24))}};
  packet.extra = extra;
  packet.time = platform::SystemTime{2026, 12, 8, 8, 4, 49, 652};
  packet.bytes = {data, count};
  packet.transportResult = ValidateTransportHeader(data, count, packet.header);
  PacketHolder holder;
  if (packet.transportResult < 128) {
    packet.frameResult = ParseFrameData(data, count, packet.header, holder);
    packet.holder = &holder;
  }

  const std::string line = PacketJsonLine(packet);
  Require(line.find('\n') == std::string::npos, "line end inside the line");
  const nlohmann::json object = nlohmann::json::parse(line, nullptr, false);
  Require(!object.is_discarded(), "not valid JSON");

  const nlohmann::json& transport = object.at("transport");
  Require(transport.at("result") == packet.transportResult, "transport result");
  if (transport.contains("PID")) {
    Require(transport.at("PID") == packet.header.PID, "PID");
    Require(transport.at("FDL") == packet.header.FDL, "FDL");
  } else {
    Require(packet.transportResult >= 128, "PID missing from a usable header");
  }
  Require(object.contains("frame") == (packet.transportResult < 128), "frame presence");
  if (packet.transportResult < 128) {
    const size_t records = holder.packet ? holder.packet->records.size() : 0;
    Require(object.at("frame").at("records").size() == records, "record count");
  }
  return 0;
}
