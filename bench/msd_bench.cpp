// The raw MSD per message: decoding with the checks, the subrecord's whole
// decode (which does the same behind its format byte), its text report, and
// the encoder. Messages: the published MSDs of versions 1 and 2, and the
// bundled example's MSD v2 with ERA-GLONASS data.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "service/ecall/msd_checks.h"
#include "service/ecall/msd_decoder.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The MSD of the example packet: the rest of its RAW_MSD_DATA after the
// format byte (SRT 40, SRL 53, format 1), before the packet's SFRCS.
Bytes ExampleMsd() {
  std::ifstream in(std::string(KORVANE_EXAMPLES_DIR) + "/ecall_msd_era.bin", std::ios::binary);
  const Bytes packet((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const Bytes header{40, 53, 0, 1};
  const auto at = std::search(packet.begin(), packet.end(), header.begin(), header.end());
  if (at == packet.end() || packet.end() - at < 6) return {};
  return Bytes(at + 4, packet.end() - 2);
}

Bytes Msd(int which) {
  switch (which) {
    case 0:
      return FromHex(
          "015C0681D54970D65C3597CA0420C41464583ADE68AC52E9BB8413F149C07414FB414F6010180813E821818"
          "23230");
    case 1:
      return FromHex("02251C0680E30A51439E2955D43800800437F80A3105669023F8A71166932185B004150043C040");
    default: return ExampleMsd();
  }
}

const char* kNames[] = {"v1_vector_A", "v2_vector_B", "v2_era_example"};

void BM_MsdDecodeAndCheck(benchmark::State& state) {
  const Bytes msd = Msd(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    EGTS::Msd::MsdDecoding decoding = EGTS::Msd::DecodeMsd(msd.data(), msd.size());
    std::vector<std::string> checks;
    EGTS::Msd::AppendMsdChecks(decoding, checks);
    benchmark::DoNotOptimize(decoding);
    benchmark::DoNotOptimize(checks);
  }
  state.SetLabel(kNames[state.range(0)]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * msd.size()));
}
BENCHMARK(BM_MsdDecodeAndCheck)->DenseRange(0, 2);

void BM_MsdSubrecordDecodeAndReport(benchmark::State& state) {
  Bytes srd{1};
  const Bytes msd = Msd(static_cast<int>(state.range(0)));
  srd.insert(srd.end(), msd.begin(), msd.end());
  for (auto _ : state) {
    EGTS::Subrecord_ECALL_RAW_MSD_DATA_Decoded raw;
    raw.Decode(srd.data(), static_cast<uint16_t>(srd.size()));
    std::string text;
    raw.Report(&text);
    benchmark::DoNotOptimize(text);
  }
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_MsdSubrecordDecodeAndReport)->DenseRange(0, 2);

void BM_MsdEncode(benchmark::State& state) {
  const Bytes msd = Msd(static_cast<int>(state.range(0)));
  const EGTS::Msd::ECallMessage message = EGTS::Msd::DecodeMsd(msd.data(), msd.size()).message;
  for (auto _ : state) benchmark::DoNotOptimize(EGTS::Msd::EncodeMsd(message));
  state.SetLabel(kNames[state.range(0)]);
}
BENCHMARK(BM_MsdEncode)->DenseRange(0, 2);

}  // namespace
