#pragma once
// The input of -f: or -c as SMS PDUs (-m): hexadecimal text, one PDU a
// line (a raw file of one PDU is taken as it stands), decoded and put
// together when concatenated; the EGTS packet they carry is what the
// single packet mode then reports.

#include <cstdint>
#include <string>
#include <vector>

struct SmsInput {
  std::vector<uint8_t> packet;  // the carried data; empty when none came whole
  std::string messages;         // INFO / ERROR / WARNING lines, each ending in "\n"
};

// `input` is what -f: or -c gave: hex text (one PDU a line) or raw bytes.
SmsInput DecodeSmsInput(const std::vector<uint8_t>& input);
