#pragma once
// Sending the single packet to a platform (-s:) and reporting what the
// platform answers, until its confirmation of our packet, the end of the
// connection, or the time limit.

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "console/report_options.h"

struct PlatformExchange {
  std::string address;  // dotted IPv4
  uint16_t port = 0;
  ReportOptions report;
  std::chrono::milliseconds limit{5000};
};

// Connects, sends `packet` and reports every packet that comes back, each
// block under ConsoleLock. Every failure is one line; nothing is thrown.
void ExchangeWithPlatform(const PlatformExchange& exchange, const std::vector<uint8_t>& packet);
