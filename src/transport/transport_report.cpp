#include "transport/transport_report.h"

#include "transport/result_codes.h"
#include "transport/transport_fields.h"
#include "util/text.h"

namespace {

constexpr std::size_t kLabelWidth = 20;

std::string ValueText(const TransportField& field, uint32_t value) {
  using Shown = TransportField::Shown;
  switch (field.shown) {
    case Shown::kDecimal: return std::to_string(value);
    case Shown::kFlags: return BitString(value, 8) + StringPrintf("b (0x%.2X)", value);
    case Shown::kBits: {
      std::string text = std::string(field.offset, ' ') + BitString(value, field.width);
      if (field.names != nullptr) text += std::string(" (") + field.names[value] + ")";
      return text;
    }
    case Shown::kHex: return StringPrintf("0x%.2X", value);
    case Shown::kNothing: return std::string();
  }
  return std::string();
}

}  // namespace

std::string FormatValidatingResult(unsigned code, const char* prefix) {
  return StringPrintf(
      "%s\nEGTS Transport Layer:\n---------------------\n  Validating result   - %u (%s%s)\n\n",
      prefix, code, EGTS::IsError(code) ? "ERROR: " : "", ResultCodeText(code));
}

std::string FormatTransportReport(const TransportHeader& header) {
  std::string text;
  for (const TransportField& field : TransportFields()) {
    if (field.label == nullptr || !TransportFieldRead(field, EGTS::EGTS_PC_OK, header)) continue;
    std::string line = std::string("  ") + field.label;
    line.resize(2 + kLabelWidth, ' ');
    line += '-';
    if (field.shown != TransportField::Shown::kNothing) {
      line += ' ';
      line += ValueText(field, field.value(header));
    }
    text += line + "\n";
  }
  return text;
}

std::string FormatTransportResult(unsigned code, const TransportHeader& header,
                                  const char* prefix) {
  std::string text = FormatValidatingResult(code, prefix);
  if (!EGTS::IsError(code)) text += FormatTransportReport(header);
  return text;
}
