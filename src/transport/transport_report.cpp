#include "transport/transport_report.h"

#include "transport/result_codes.h"
#include "util/text.h"

namespace {

const char* PriorityName(uint8_t pr) {
  static const char* const kNames[] = {"the highest", "high", "middle", "low"};
  return kNames[pr & 0x03];
}

std::string RouteBlock(const TransportHeader& header) {
  if (!header.RTE()) return "  No route info       -\n";
  return StringPrintf(
      "  Peer Address        - %u\n  Recipient Address   - %u\n  TTL                 - %u\n",
      header.PRA, header.RCA, header.TTL);
}

}  // namespace

std::string FormatValidatingResult(unsigned code, const char* prefix) {
  return StringPrintf(
      "%s\nEGTS Transport Layer:\n---------------------\n  Validating result   - %u (%s%s)\n\n",
      prefix, code, EGTS::IsError(code) ? "ERROR: " : "", ResultCodeText(code));
}

std::string FormatTransportReport(const TransportHeader& header) {
  return StringPrintf(
      "  Protocol Version    - %u\n"
      "  Security Key ID     - %u\n"
      "  Flags               - %sb (0x%.2X)\n"
      "       Prefix         - %s\n"
      "       Route          -   %u\n"
      "       Encryption Alg -    %s\n"
      "       Compression    -      %u\n"
      "       Priority       -       %s (%s)\n"
      "  Header Length       - %u\n"
      "  Header Encoding     - %u\n"
      "  Frame Data Length   - %u\n"
      "  Packet ID           - %u\n"
      "%s"
      "  Header Check Sum    - 0x%.2X\n",
      header.PRV, header.SKID, BitString(header.flags, 8).c_str(), header.flags,
      BitString(header.PRF(), 2).c_str(), header.RTE() ? 1u : 0u,
      BitString(header.ENA(), 2).c_str(), header.CMP() ? 1u : 0u,
      BitString(header.PR(), 2).c_str(), PriorityName(header.PR()), header.HL, header.HE,
      header.FDL, header.PID, RouteBlock(header).c_str(), header.HCS);
}

std::string FormatTransportResult(unsigned code, const TransportHeader& header,
                                  const char* prefix) {
  std::string text = FormatValidatingResult(code, prefix);
  if (!EGTS::IsError(code)) text += FormatTransportReport(header);
  return text;
}
