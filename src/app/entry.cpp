#include "app/entry.h"

#include <mutex>
#include <string>

#include "app/capture_mode.h"
#include "app/conformance_mode.h"
#include "app/options.h"
#include "app/process_state.h"
#include "app/server_mode.h"
#include "app/shutdown.h"
#include "app/single_packet.h"
#include "app/track_export.h"
#include "app/replay_mode.h"
#include "app/units_mode.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "platform/console.h"
#include "platform/executable_path.h"
#include "util/text.h"

namespace {

constexpr const char* kVersion = "1.0";

void Print(const std::string& text) {
  if (text.empty()) return;
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(text);
}

std::string Banner() {
  return StringPrintf("Korvane v.%s\n", kVersion) + std::string(84, '-') + "\n";
}

}  // namespace

int RunKorvane(int argc, char** argv) {
  // Before any other thread starts: control events are then taken on a
  // thread of their own.
  InstallConsoleCtrlHandler();
  BufferStandardOutput();
  StartupSettings settings;
  settings.WorkDirectory =
      DefaultWorkDirectory(argc > 0 ? argv[0] : nullptr, platform::ExecutablePath());
  std::string messages;
  ParseOptions(argc, argv, settings, messages, &EnterServerMode);
  // Known before the first text: with -j even the banner goes to standard error.
  SetJsonLines(settings.Json);
  Print(Banner());
  WriteMessage(messages);
  PacketRoad road = PacketRoadOf(settings);
  // Finished by Shutdown, whichever way the run ends.
  road.tracks = InstallTracks(OpenTrackExport(settings, road.report), road.report);

  // A capture played again against a platform: its connections as units.
  if (settings.CaptureMode && settings.SendToPlatform) {
    const int code = RunReplayMode(settings, road);
    Shutdown();
    return code;
  }
  // A capture is read from start to end and the program ends: a batch
  // job, with no key to wait for.
  if (settings.CaptureMode && !settings.RunFiles.empty()) {
    // "Did this capture pass the track run?": the runs' expect steps
    // against what the capture's terminals sent.
    ConformanceMode runs;
    if (!runs.LoadForCapture(settings)) {
      Shutdown();
      return kRunsRefused;
    }
    RunCaptureMode({settings.CaptureFile, settings.CapturePort}, road, runs.CaptureRunner());
    Shutdown();
    return runs.FinishCapture();
  }
  if (settings.CaptureMode) {
    RunCaptureMode({settings.CaptureFile, settings.CapturePort}, road);
    Shutdown();
    return 0;
  }
  // Simulated units run until they have ended; a bad profile ends the
  // program before anything connects.
  if (settings.UnitsMode) {
    const int code = RunUnitsMode(settings, road);
    Shutdown();
    return code;
  }
  if (!settings.FatalOption) RunSinglePacket(settings, road);

  // The separator goes out without the console lock.
  WriteText("\n-------------------------------------------------------------\n");

  if (!settings.RunFiles.empty()) {
    // Conformance runs: the program ends when they are done, with their verdict.
    ConformanceMode runs;
    if (!runs.Load(settings)) {
      Shutdown();
      return kRunsRefused;
    }
    Print("Please type 'quit' to exit...\n");
    runs.Start();
    // Without a console (end of input) the runs go on to their end.
    PacketRoad runsRoad = road;
    runsRoad.talk.runs = runs.Driver();
    RunServerMode(settings, runsRoad, [&runs](bool quit) {
      if (!quit) runs.WaitUntilDone();
    });
    Shutdown();
    return runs.Finish();
  }
  if (settings.IncomingMode || InServerMode()) {
    Print("Please type 'quit' to exit...\n");
    RunServerMode(settings, road);
  } else {
    Print("Press any key to exit...\n");
    platform::WaitForKey();
  }
  Shutdown();
  return 0;
}
