#pragma once
// Server mode: the stop-all event made for -b:, the work thread and the
// operator console that runs until "quit" or the end of input.

#include <string>

#include "app/options.h"

// Creates the stop-all event and enters server mode; failure messages are
// appended to `messages`.
void EnterServerMode(std::string& messages);

bool InServerMode();

// Starts the work thread and serves the operator console until "quit" or
// the end of standard input; every source reports as `road` says.
void RunServerMode(const StartupSettings& settings, const PacketRoad& road);
