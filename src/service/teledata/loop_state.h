#pragma once
// The states of a loop input, shared by LOOPIN_DATA and ABS_LOOPIN_DATA:
// 0 normal, 1 alarm, 2 open circuit, 4 short to ground, 8 short to supply.

#include <cstdint>

namespace EGTS {

// The names by value, null where a value has none.
inline constexpr const char* kLoopStateNames[] = {
    "normal", "alarm", "open circuit", nullptr, "short to ground",
    nullptr,  nullptr, nullptr,        "short to supply",
};

// The name of a loop state; null for a value outside the table.
const char* LoopStateName(uint8_t state);

}  // namespace EGTS
