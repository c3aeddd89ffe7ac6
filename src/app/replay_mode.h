#pragma once
// Replay of a capture (-p:<capture> with -s:<addr:port>): every captured
// connection's terminal side is played again against the platform, each
// as a unit of its own (session/replay_unit.h), all on one event loop; the
// same reports and summary as the simulated units (-e:). The capture is
// read first: at most kMaxReplayBytes of terminal packets are kept, the
// rest is left out and said so.

#include <cstddef>

#include "app/options.h"
#include "pipeline/packet_road.h"

constexpr std::size_t kMaxReplayBytes = 256u * 1024 * 1024;

// The exit code: 0 after a run, 2 when the capture cannot be read.
int RunReplayMode(const StartupSettings& settings, const PacketRoad& road);
