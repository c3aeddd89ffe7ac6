// The standard's subrecords (-x) per packet: decoding with checks, the text
// report and the JSON line of the public TELEDATA packet (six subrecords).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <vector>

#include "console/packet_json.h"
#include "console/service_report.h"
#include "platform/system_time.h"
#include "service/record_parser.h"
#include "transport/transport_header.h"

namespace {

constexpr char kTeledataHex[] =
    "0100020b004f00ae1101d24400ae1191af8304000202101800d9238213008dcea08070ec789338003c000000010082"
    "00001106001a740007020014050000180000041207000f000010000000130100001b0700010000af0f0000312a";

std::vector<uint8_t> FromHex(const char* hex) {
  std::vector<uint8_t> bytes;
  for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  }
  return bytes;
}

struct ParsedPacket {
  std::vector<uint8_t> bytes = FromHex(kTeledataHex);
  TransportHeader header;
  PacketHolder holder;
  uint8_t result = 0;

  ParsedPacket() {
    const auto count = static_cast<uint16_t>(bytes.size());
    ValidateTransportHeader(bytes.data(), count, header);
    result = ParseFrameData(bytes.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  }
};

void BM_StandardDecodeTeledata(benchmark::State& state) {
  const std::vector<uint8_t> packet = FromHex(kTeledataHex);
  const auto count = static_cast<uint16_t>(packet.size());
  for (auto _ : state) {
    TransportHeader header;
    ValidateTransportHeader(packet.data(), count, header);
    PacketHolder holder;
    benchmark::DoNotOptimize(
        ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard));
    benchmark::DoNotOptimize(holder.packet.get());
  }
}
BENCHMARK(BM_StandardDecodeTeledata);

void BM_StandardTextReportTeledata(benchmark::State& state) {
  const ParsedPacket parsed;
  const int64_t now = platform::UnixSeconds(platform::CurrentSystemTime());
  for (auto _ : state) {
    std::string text = FormatServiceLayerReport(parsed.result, parsed.holder,
                                                EGTS::SubrecordSet::kStandard, now);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_StandardTextReportTeledata);

void BM_StandardJsonTeledata(benchmark::State& state) {
  const ParsedPacket parsed;
  PacketJson object;
  object.source = "stdin";
  object.time = platform::CurrentSystemTime();
  object.bytes = parsed.bytes;
  object.header = parsed.header;
  object.frameResult = parsed.result;
  object.holder = &parsed.holder;
  object.standard = true;
  for (auto _ : state) {
    std::string line = PacketJsonLine(object);
    benchmark::DoNotOptimize(line.data());
  }
}
BENCHMARK(BM_StandardJsonTeledata);

}  // namespace
