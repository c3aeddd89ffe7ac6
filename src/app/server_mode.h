#pragma once
// Server mode: the stop-all event made for -b:, the work thread and the
// operator console that runs until "quit" or the end of input.

#include <functional>
#include <string>

#include "app/options.h"

// Creates the stop-all event and enters server mode; failure messages are
// appended to `messages`.
void EnterServerMode(std::string& messages);

bool InServerMode();

// Starts the work thread and serves the operator console until "quit" or
// the end of standard input; every source reports as `road` says (its
// talk.runs, -t:, talk to the terminals when given). `afterConsole` runs
// once the console has ended, before the caller shuts the server down
// (told whether "quit" ended it).
void RunServerMode(const StartupSettings& settings, const PacketRoad& road,
                   const std::function<void(bool quit)>& afterConsole = nullptr);
