#include <mutex>

#include "app/track_export.h"
#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
#include "platform/system_time.h"
#include "track/track_recorder.h"

std::unique_ptr<TrackSink> OpenTrackExport(const StartupSettings& settings,
                                           const ReportOptions& report) {
  if (!settings.TrackMode) return nullptr;
  TrackSettings track;
  track.file = settings.TrackFile;
  track.speedBoundKmh = settings.TrackSpeedBound;
  std::string error;
  std::unique_ptr<TrackSink> sink = TrackRecorder::Open(track, error);
  if (sink) return sink;
  const std::string text = "Can not write the tracks to '" + track.file + "': " + error;
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report.json) {
    WriteJsonLine(LogJsonLine(platform::CurrentSystemTime(), "Main", "ERROR", text));
  } else {
    WriteText("ERROR: " + text + "\n");
  }
  return nullptr;
}
