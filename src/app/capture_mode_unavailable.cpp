// Capture mode where the build has no capture reader (the Windows build:
// libpcap, which the reader rests on, has no Windows form in Debian). The
// option is taken as everywhere and answered with one ERROR line.
#include <mutex>

#include "app/capture_mode.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
#include "platform/system_time.h"

namespace {

constexpr const char* kUnavailable =
    "Captures can not be read by this build of Korvane (it has no libpcap)";

}  // namespace

void RunCaptureMode(const CaptureSettings&, const ReportOptions& report) {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report.json) {
    WriteText(LogJsonLine(platform::CurrentSystemTime(), "Main", "ERROR", kUnavailable) + "\n");
  } else {
    WriteText(std::string("ERROR: ") + kUnavailable + "\n");
  }
}
