#pragma once
// -e: with -s:: reads the unit profile, runs the simulated units against
// the platform and ends when they have ended, on "quit" at the console or
// on a control event. Returns the process exit code: 0 after a run, 2 when
// the profile is bad or -s: is missing (before anything connects).

#include "app/options.h"
#include "pipeline/packet_road.h"

int RunUnitsMode(const StartupSettings& settings, const PacketRoad& road);
