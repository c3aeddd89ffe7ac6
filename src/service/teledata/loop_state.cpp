#include "service/teledata/loop_state.h"

namespace EGTS {

namespace {

struct LoopState {
  uint8_t value;
  const char* name;
};

constexpr LoopState kLoopStates[] = {
    {0, "normal"},          {1, "alarm"},           {2, "open circuit"},
    {4, "short to ground"}, {8, "short to supply"},
};

}  // namespace

const char* LoopStateName(uint8_t state) {
  for (const LoopState& row : kLoopStates) {
    if (row.value == state) return row.name;
  }
  return nullptr;
}

}  // namespace EGTS
