#include "app/track_export.h"

#include <mutex>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
#include "platform/system_time.h"
#include "track/track_json.h"
#include "util/text.h"

void FinishTrackExport(TrackSink& sink, const ReportOptions& report) {
  const TrackResult& result = sink.Finish();
  std::string outcome =
      result.written
          ? StringPrintf("INFO: Tracks of %zu units written to '%s' (%llu bytes)",
                         result.units.size(), result.file.c_str(),
                         static_cast<unsigned long long>(result.bytes))
          : "ERROR: Can not write the tracks to '" + result.file + "': " + result.error;
  if (result.positionsNotKept != 0) {
    outcome += StringPrintf("; %llu positions of units beyond the first %zu were not kept",
                            static_cast<unsigned long long>(result.positionsNotKept),
                            kMaxTrackUnits);
  }
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (!report.json) {
    std::string text;
    for (const UnitSummary& unit : result.units) text += SummaryText(unit) + "\n";
    WriteText(text + outcome + "\n");
    return;
  }
  for (const UnitSummary& unit : result.units) WriteJsonLine(TrackSummaryJsonLine(unit));
  const bool error = !result.written;
  WriteJsonLine(LogJsonLine(platform::CurrentSystemTime(), "Main", error ? "ERROR" : "INFO",
                            outcome.substr(error ? 7 : 6)));
}
