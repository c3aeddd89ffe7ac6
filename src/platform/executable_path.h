#pragma once
// The path of the running program's own executable file.

#include <string>

namespace platform {

// Absolute path of the executable; empty when it cannot be read.
std::string ExecutablePath();

}  // namespace platform
