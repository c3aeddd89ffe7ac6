#include "service/teledata/loop_state.h"

#include <iterator>

namespace EGTS {

const char* LoopStateName(uint8_t state) {
  return state < std::size(kLoopStateNames) ? kLoopStateNames[state] : nullptr;
}

}  // namespace EGTS
