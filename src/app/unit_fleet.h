#pragma once
// Simulated units against a platform (-e: with -s:): one unit or a fleet,
// all driven by one event loop on the calling thread. Units connect at the
// given rate; the run ends when every unit has ended, on "quit" at the
// console, or on a control event (StopAllEvent); then the summary is
// written (text, and one "summary" object with -j).
//
// Per-packet reports: on for a single unit; for a fleet only when -v, -x
// or -j asks. The units' findings follow the per-packet reports.
// A progress line goes to standard error every second when it is a
// terminal.

#include <cstdint>
#include <memory>
#include <string>

#include "console/report_options.h"
#include "session/unit_profile.h"
#include "session/unit_stats.h"

struct FleetOptions {
  std::string address;
  uint16_t port = 0;
  uint32_t count = 1;
  uint32_t perSecond = 0;  // connections a second; 0: all at once
  ReportOptions report;
  bool reportPackets = false;
};

// Runs the fleet and writes its summary; returns what the units did.
session::UnitStats RunUnitFleet(const FleetOptions& options,
                                std::shared_ptr<const session::UnitProfile> profile);

// The summary as text, and as the "summary" JSON object (one line).
std::string FleetSummaryText(const session::UnitStats& stats, double seconds);
std::string FleetSummaryJson(const session::UnitStats& stats, double seconds);
