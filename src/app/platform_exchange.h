#pragma once
// A conversation with a platform as a terminal holds it (-s:): the packets
// of the input are sent one by one, each once the platform has confirmed
// the one before (and, after an authorization, once it has sent its
// RESULT_CODE); every application packet of the platform is confirmed and
// every packet either way is reported. The platform's confirmations are
// checked record by record.
//
// The conversation ends when the last packet is confirmed and the platform
// has sent nothing for `quiet`, when the platform closes, when a packet is
// not confirmed within `limit`, or `limit` after the last packet sent.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "console/report_options.h"

class TrackSink;

struct PlatformExchange {
  std::string address;  // dotted IPv4
  uint16_t port = 0;
  ReportOptions report;
  std::chrono::milliseconds limit{5000};
  // Where the positions of the platform's packets go (-g:); null: nowhere.
  // The input's own packets are the caller's to record.
  TrackSink* tracks = nullptr;
  std::chrono::milliseconds quiet{1000};
};

// Reports input packet `index` (the caller's report of its own input); it
// is called just before the packet is sent, for the first one before the
// connection is made.
using AnnounceInputPacket = std::function<void(std::size_t index)>;

// Connects and holds the conversation; every block is written under
// ConsoleLock. Every failure is one line; nothing is thrown.
void ExchangeWithPlatform(const PlatformExchange& exchange,
                          const std::vector<std::vector<uint8_t>>& packets,
                          const AnnounceInputPacket& announce);
