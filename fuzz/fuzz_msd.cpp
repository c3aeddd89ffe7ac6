// libFuzzer target: the MSD decoder over any bytes (the raw MSD after the
// format byte of RAW_MSD_DATA). Every decoding is checked, described and
// reported (the subrecord class around it is fuzzed by fuzz_packet with the
// standard's subrecords). Where the decoding is complete and its message
// can be encoded, the round trip must hold: the encoding decodes to the
// same message, and encoding that again gives the same bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "service/ecall/msd_checks.h"
#include "service/ecall/msd_decoder.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/msd_fields.h"
#include "service/field_report.h"

namespace {

void Require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "fuzz_msd: %s\n", what);
  std::abort();
}

void CheckRoundTrip(const EGTS::Msd::MsdDecoding& decoding) {
  if (!decoding.Complete()) return;
  const EGTS::Msd::MsdEncoding encoding = EGTS::Msd::EncodeMsd(decoding.message);
  if (!encoding.error.empty()) return;
  const EGTS::Msd::MsdDecoding again =
      EGTS::Msd::DecodeMsd(encoding.octets.data(), encoding.octets.size());
  Require(again.Complete(), "the encoding of a decoded message does not decode whole");
  Require(again.message == decoding.message, "the encoding decodes to another message");
  Require(EGTS::Msd::EncodeMsd(again.message).octets == encoding.octets, "encoding is not stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const EGTS::Msd::MsdDecoding decoding = EGTS::Msd::DecodeMsd(data, size);
  Require(decoding.bits <= size * 8, "the decoder read past the end");
  std::vector<std::string> checks = decoding.findings;
  EGTS::Msd::AppendMsdChecks(decoding, checks);
  EGTS::FieldList fields;
  EGTS::Msd::DescribeMsd(decoding, fields);
  (void)EGTS::FormatFieldReport(fields, checks);
  CheckRoundTrip(decoding);
  return 0;
}
