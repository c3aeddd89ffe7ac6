#include "app/server_mode.h"

#include <cstring>
#include <mutex>

#include "app/console_lock.h"
#include "app/process_state.h"
#include "platform/console_input.h"
#include "platform/event.h"
#include "transport/text.h"

namespace {

// The console's line area: 128 bytes, at most 125 characters a line.
constexpr size_t kLineLimit = 126;

}  // namespace

void EnterServerMode(std::string& messages) {
  if (StopAllEvent() != nullptr) {
    SetServerMode(true);  // a later -b: keeps the event of the first
    return;
  }
  auto event = platform::Event::Create(platform::Event::Kind::kManualReset);
  if (!event) {
    messages += StringPrintf("ERROR: Can not create Event Object (le:%lu)\n",
                             static_cast<unsigned long>(event.error().value()));
    return;
  }
  InstallStopAllEvent(std::move(*event));
  SetServerMode(true);
}

bool InServerMode() { return ServerMode(); }

void RunServerMode(const StartupSettings&) {
  // The work thread and the operator commands plug in here; until then the
  // console only waits for "quit" or the end of input.
  while (auto line = platform::StandardInput().ReadLine(kLineLimit)) {
    if (line->compare(0, 4, "quit") == 0) break;
  }
}
