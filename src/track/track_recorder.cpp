#include "track/track_recorder.h"

#include <cmath>

#include "track/track_writers.h"

namespace {

// A value that is not a finite number is taken as unknown.
void DropNonFinite(std::optional<double>& value) {
  if (value && !std::isfinite(*value)) value.reset();
}

}  // namespace

std::string PrintableUnitKey(const std::string& key) {
  if (key.empty()) return "unknown";
  std::string printable = key;
  for (char& c : printable) {
    if (c < 0x20 || c > 0x7E) c = '?';
  }
  return printable;
}

std::unique_ptr<TrackRecorder> TrackRecorder::Open(const TrackSettings& settings,
                                                   std::string& error) {
  std::unique_ptr<TrackRecorder> recorder(new TrackRecorder(settings));
  if (!recorder->file_.Open()) {
    error = recorder->file_.Error();
    return nullptr;
  }
  return recorder;
}

TrackRecorder::TrackRecorder(const TrackSettings& settings)
    : file_(settings.file),
      store_(std::filesystem::path(settings.file + ".points.part"), settings.memoryPoints) {
  bounds_.speedKmh = settings.speedBoundKmh;
  result_.file = settings.file;
}

std::vector<TrackFinding> TrackRecorder::Record(const PacketHolder& holder,
                                                const PacketOrigin& origin) {
  std::vector<TrackPoint> points = PositionsOf(holder, origin);
  std::vector<TrackFinding> findings;
  if (points.empty()) return findings;
  std::lock_guard<std::mutex> hold(lock_);
  for (TrackPoint& point : points) AddLocked(std::move(point), findings);
  return findings;
}

std::vector<TrackFinding> TrackRecorder::Add(const TrackPoint& point) {
  std::vector<TrackFinding> findings;
  std::lock_guard<std::mutex> hold(lock_);
  AddLocked(point, findings);
  return findings;
}

void TrackRecorder::AddLocked(TrackPoint point, std::vector<TrackFinding>& findings) {
  if (finished_) return;
  point.unit = PrintableUnitKey(point.unit);
  for (std::optional<double>* value :
       {&point.speedKmh, &point.headingDeg, &point.altitudeM, &point.hdop, &point.vdop,
        &point.pdop}) {
    DropNonFinite(*value);
  }
  auto entry = unitIndex_.find(point.unit);
  if (entry == unitIndex_.end()) {
    if (units_.size() >= kMaxTrackUnits) {
      ++result_.positionsNotKept;
      return;
    }
    entry = unitIndex_.emplace(point.unit, static_cast<uint32_t>(units_.size())).first;
    units_.emplace_back(point.unit, bounds_);
  }
  const uint32_t unit = entry->second;
  units_[unit].Observe(point, findings);
  // Positions outside the ranges have no place in a file.
  if (PositionInRange(point)) store_.Append(unit, StoredPointOf(point));
}

const TrackResult& TrackRecorder::Finish() {
  std::lock_guard<std::mutex> hold(lock_);
  if (finished_) return result_;
  finished_ = true;
  for (const UnitTrack& unit : units_) result_.units.push_back(unit.Summary());
  WriteFile();
  store_.Release();
  return result_;
}

void TrackRecorder::WriteFile() {
  std::string error = store_.Error();
  if (error.empty()) {
    const bool gpx = IsGpxName(result_.file);
    const bool wrote = gpx ? WriteGpx(result_.units, store_, file_.Stream(), error)
                           : WriteGeoJson(result_.units, store_, file_.Stream(), error);
    if (wrote && file_.Commit()) {
      result_.written = true;
      result_.bytes = file_.Bytes();
      return;
    }
    if (error.empty()) error = file_.Error();
  }
  result_.error = error;
}
