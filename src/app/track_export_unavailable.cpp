// -g: where the build has no track layer (the Windows build: Debian has no
// MinGW form of GeographicLib, nor of an XML library, and the geodesics are
// not ours to write). The option is taken as everywhere and answered with
// one ERROR line.
#include <mutex>

#include "app/track_export.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
#include "platform/system_time.h"

namespace {

constexpr const char* kUnavailable =
    "Tracks can not be written by this build of Korvane (it has no GeographicLib)";

}  // namespace

std::unique_ptr<TrackSink> OpenTrackExport(const StartupSettings& settings,
                                           const ReportOptions& report) {
  if (!settings.TrackMode) return nullptr;
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report.json) {
    WriteJsonLine(LogJsonLine(platform::CurrentSystemTime(), "Main", "ERROR", kUnavailable));
  } else {
    WriteText(std::string("ERROR: ") + kUnavailable + "\n");
  }
  return nullptr;
}
