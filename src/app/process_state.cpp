#include "app/process_state.h"

#include "app/track_export.h"

#include <atomic>
#include <mutex>
#include <utility>

namespace {

struct ProcessState {
  std::atomic<bool> serverMode{false};
  std::mutex workThreadLock;
  std::unique_ptr<WorkThreadObject> workThread;
  std::mutex stopAllLock;  // taken after workThreadLock, never before
  std::unique_ptr<platform::Event> stopAllEvent;
  std::unique_ptr<TrackSink> tracks;  // set before any other thread starts
  ReportOptions tracksReport;
  std::once_flag tracksFinished;
};

ProcessState& State() {
  // Never destroyed: the control handler may still run while the process ends.
  static ProcessState* const state = new ProcessState;
  return *state;
}

}  // namespace

bool ServerMode() { return State().serverMode.load(); }

void SetServerMode(bool on) { State().serverMode.store(on); }

platform::Event* StopAllEvent() {
  std::lock_guard<std::mutex> hold(State().stopAllLock);
  return State().stopAllEvent.get();
}

void InstallStopAllEvent(std::unique_ptr<platform::Event> event) {
  std::lock_guard<std::mutex> hold(State().stopAllLock);
  State().stopAllEvent = std::move(event);
}

bool SetStopAllEvent() {
  std::lock_guard<std::mutex> hold(State().stopAllLock);
  return State().stopAllEvent && !State().stopAllEvent->Set();
}

TrackSink* InstallTracks(std::unique_ptr<TrackSink> sink, const ReportOptions& report) {
  State().tracksReport = report;
  State().tracks = std::move(sink);
  return State().tracks.get();
}

void FinishTracks() {
  TrackSink* tracks = State().tracks.get();
  if (tracks == nullptr) return;
  std::call_once(State().tracksFinished,
                 [tracks] { FinishTrackExport(*tracks, State().tracksReport); });
}

WorkThreadAccess::WorkThreadAccess() : hold_(State().workThreadLock) {}

WorkThreadObject* WorkThreadAccess::get() const { return State().workThread.get(); }

void WorkThreadAccess::Install(std::unique_ptr<WorkThreadObject> thread) {
  State().workThread = std::move(thread);
}

std::unique_ptr<WorkThreadObject> WorkThreadAccess::Release() {
  return std::move(State().workThread);
}

void WorkThreadAccess::CloseStopAllEvent() {
  std::lock_guard<std::mutex> hold(State().stopAllLock);
  State().stopAllEvent.reset();
}
