#pragma once
// Capture mode (-p:<file>[:<port>]): every EGTS packet of every TCP
// connection in a pcap or pcapng file, both ways, reported as a live
// connection's packets are (dump, validating result, transport report, -v
// and -x service layer, -j objects), each headed by its capture time,
// connection and direction; the conversation checks run by capture time;
// a summary per connection and totals at the end; positions go to the
// tracks (-g:), as the terminal's of a live connection do. With standard error on a
// terminal a progress line is kept up to date there.

#include <cstdint>
#include <string>

#include "pipeline/packet_road.h"

struct CaptureSettings {
  std::string path;
  uint16_t port = 0;  // only connections with this port; 0: all
};

namespace session {
class ConformanceRunner;
}

// `runs` (-t: with -p:), when given, are fed with what each connection's
// terminal sent, at the capture's times; their step lines are printed as
// steps end. The caller prints their verdict.
void RunCaptureMode(const CaptureSettings& settings, const PacketRoad& road,
                    session::ConformanceRunner* runs = nullptr);
