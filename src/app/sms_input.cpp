#include "app/sms_input.h"

#include <algorithm>

#include "transport/sms_pdu.h"
#include "util/text.h"

namespace {

bool IsHexOrBlank(uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f') || c == ' ' ||
         c == '\t' || c == '\r' || c == '\n';
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return c - 'a' + 10;
}

// One PDU a line; blanks inside a line are skipped, empty lines ignored.
std::vector<std::vector<uint8_t>> SplitPdus(const std::vector<uint8_t>& input) {
  const bool text = !input.empty() && std::all_of(input.begin(), input.end(), IsHexOrBlank);
  if (input.empty()) return {};
  if (!text) return {input};
  std::vector<std::vector<uint8_t>> pdus(1);
  int high = -1;
  for (const uint8_t c : input) {
    if (c == '\n') {
      if (!pdus.back().empty()) pdus.emplace_back();
      high = -1;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      if (high < 0) {
        high = HexValue(c);
      } else {
        pdus.back().push_back(static_cast<uint8_t>(high << 4 | HexValue(c)));
        high = -1;
      }
    }
  }
  if (pdus.back().empty()) pdus.pop_back();
  return pdus;
}

std::string Describe(const sms::Message& message, std::size_t parts, std::size_t bytes) {
  std::string text = StringPrintf("INFO: %s %s %s", message.deliver ? "SMS-DELIVER" : "SMS-SUBMIT",
                                  message.deliver ? "from" : "to", message.address.c_str());
  if (message.deliver) text += " (centre time " + message.centreTime + ")";
  return text + StringPrintf(": %zu bytes of 8-bit data in %zu SMS\n", bytes, parts);
}

}  // namespace

SmsInput DecodeSmsInput(const std::vector<uint8_t>& input) {
  SmsInput result;
  const std::vector<std::vector<uint8_t>> pdus = SplitPdus(input);
  sms::Assembler assembler;
  std::size_t parts = 0;
  for (std::size_t i = 0; i < pdus.size(); ++i) {
    std::string error;
    const auto message = sms::Parse(pdus[i], error);
    if (!message) {
      result.messages += StringPrintf("ERROR: SMS PDU %zu: %s\n", i + 1, error.c_str());
      continue;
    }
    ++parts;
    auto whole = assembler.Add(*message);
    if (!whole) continue;
    if (!result.packet.empty()) {
      result.messages += StringPrintf("WARNING: SMS PDU %zu completes a further message; only the "
                                      "first is reported\n", i + 1);
      continue;
    }
    result.messages += Describe(*message, parts, whole->size());
    result.packet = std::move(*whole);
    parts = 0;
  }
  if (assembler.Waiting() > 0) {
    result.messages += StringPrintf("WARNING: %zu SMS of a concatenated message wait for their "
                                    "other parts\n", assembler.Waiting());
  }
  if (pdus.empty()) result.messages += "ERROR: No SMS PDU in the input\n";
  return result;
}
