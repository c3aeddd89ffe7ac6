#include "app/server_mode.h"

#include <cstdio>
#include <cstring>

namespace {
bool serverMode = false;
}

void EnterServerMode(std::string&) { serverMode = true; }

bool InServerMode() { return serverMode; }

void RunServerMode(const StartupSettings&) {
  char line[128];
  while (std::fgets(line, 126, stdin) != nullptr) {
    if (std::strncmp(line, "quit", 4) == 0) break;
  }
}
