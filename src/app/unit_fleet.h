#pragma once
// Simulated units against a platform (-e: with -s:): one unit or a fleet,
// all driven by one event loop on the calling thread. Units connect at the
// given rate; the run ends when every unit has ended, on "quit" at the
// console, or on a control event (StopAllEvent); then the summary is
// written (text, and one "summary" object with -j).
//
// Per-packet reports: on for a single unit; for a fleet only when -v or -x
// asks (-j alone gives a fleet's summary as JSON). The units' findings follow the per-packet reports.
// A progress line goes to standard error every second when it is a
// terminal.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "console/report_options.h"
#include "pipeline/packet_road.h"
#include "session/conversation_unit.h"
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

// Runs the fleet until it ends, "quit" is typed at the console or a control
// event comes, and writes its summary; returns what the units did.
// Every packet takes `road` (reports, tracks).
session::UnitStats RunUnitFleet(const FleetOptions& options, const PacketRoad& road,
                                std::shared_ptr<const session::UnitProfile> profile);

// Unit `index` of a fleet (0 .. count - 1), counting into `stats`.
using UnitMaker = std::function<std::unique_ptr<session::ConversationUnit>(
    uint32_t index, session::UnitStats& stats)>;

// Any units (simulated ones, replayed connections) on the same loop.
session::UnitStats RunFleet(const FleetOptions& options, const PacketRoad& road,
                            const UnitMaker& make);

// The summary as text, and as the "summary" JSON object (one line).
std::string FleetSummaryText(const session::UnitStats& stats, double seconds);
std::string FleetSummaryJson(const session::UnitStats& stats, double seconds);
