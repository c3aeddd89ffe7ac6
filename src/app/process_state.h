#pragma once
// Process-wide state shared by the entry, the operator console and
// Shutdown: ServerMode, StopAllEvent, WorkThread and the run's tracks.
//
// WorkThread is used only while holding WorkThreadAccess, so that the
// console and the control handler never use a work thread that Shutdown has
// destroyed. StopAllEvent is closed only while holding that lock too: a
// pointer to it read while holding WorkThreadAccess stays valid as long as
// the work thread set up with it exists. Lock order: WorkThreadAccess before
// ConsoleLock; no server thread takes WorkThreadAccess.

#include <memory>
#include <mutex>

#include "platform/event.h"
#include "console/report_options.h"
#include "server/nwork_thread.h"
#include "track/track_sink.h"

// The class of the one work thread object.
using WorkThreadObject = NWorkThread;

// Set when -b: produced StopAllEvent; the server runs then.
bool ServerMode();
void SetServerMode(bool on);

// Manual-reset event that asks every server thread to end; null when none.
platform::Event* StopAllEvent();
void InstallStopAllEvent(std::unique_ptr<platform::Event> event);
// Sets StopAllEvent; false when there is none.
bool SetStopAllEvent();

// The run's tracks (-g:), installed by the entry before any packet source
// starts and never destroyed: a source or the control handler may still
// hand them positions while the process ends (dropped once finished).
// Returns the sink installed, null for a null one.
TrackSink* InstallTracks(std::unique_ptr<TrackSink> sink, const ReportOptions& report);
// Finishes the tracks and prints their summary (FinishTrackExport) the
// first time it is called; later calls, and calls without tracks, do
// nothing. Every way the run ends comes here through Shutdown.
void FinishTracks();

class WorkThreadAccess {
 public:
  WorkThreadAccess();  // waits for the WorkThread lock
  WorkThreadAccess(const WorkThreadAccess&) = delete;
  WorkThreadAccess& operator=(const WorkThreadAccess&) = delete;

  // The work thread, or null when none.
  WorkThreadObject* get() const;
  WorkThreadObject* operator->() const { return get(); }
  explicit operator bool() const { return get() != nullptr; }

  // Hands the work thread to the process (a former one is deleted).
  void Install(std::unique_ptr<WorkThreadObject> thread);
  // Takes the work thread out; WorkThread is none afterwards.
  std::unique_ptr<WorkThreadObject> Release();

  // Closes StopAllEvent; StopAllEvent is none afterwards.
  void CloseStopAllEvent();

 private:
  std::unique_lock<std::mutex> hold_;
};
