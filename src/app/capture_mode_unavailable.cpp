// Capture mode where the build has no capture reader (the Windows build:
// libpcap, which the reader rests on, has no Windows form in Debian). The
// option is taken as everywhere and answered with one ERROR line.
#include "app/capture_mode.h"
#include "app/replay_mode.h"
#include "console/log_line.h"

void RunCaptureMode(const CaptureSettings&, const PacketRoad&, session::ConformanceRunner*) {
  WriteMessage("ERROR: Captures can not be read by this build of Korvane (it has no libpcap)\n");
}

int RunReplayMode(const StartupSettings&, const PacketRoad&) {
  WriteMessage("ERROR: Captures can not be read by this build of Korvane (it has no libpcap)\n");
  return 2;
}
