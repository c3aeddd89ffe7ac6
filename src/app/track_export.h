#pragma once
// The tracks of -g:<file>[:<km/h>] at the ends of a run: opened before the
// first packet, finished (the file written and the summaries printed) by the
// orderly shutdown. In between, every packet source hands its parsed packets
// to the sink (track/track_sink.h).

#include <memory>

#include "app/options.h"
#include "console/report_options.h"
#include "track/track_sink.h"

// The sink for -g:, or null when -g: was not given, or when the file cannot
// be written (one ERROR line then). A build without the track layer (the
// Windows build: Debian has no GeographicLib or XML library for MinGW)
// answers -g: with one ERROR line and null.
std::unique_ptr<TrackSink> OpenTrackExport(const StartupSettings& settings,
                                           const ReportOptions& report);

// Finishes the sink and reports: a line per unit (SummaryText), then
// "INFO: Tracks of <n> units written to '<file>' (<bytes> bytes)" or
// "ERROR: Can not write the tracks to '<file>': <why>", followed by
// "; <n> positions of units beyond the first 50000 were not kept" when
// there were more units. With -j a "track" object per unit and a log object.
void FinishTrackExport(TrackSink& sink, const ReportOptions& report);
