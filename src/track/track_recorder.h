#pragma once
// The tracks of a run (-g:<file>[:<km/h>]): every position checked per unit
// as it comes, kept in a PointStore, and written at Finish as GeoJSON, or as
// GPX for a name ending in ".gpx". The temporary file beside the final name
// is made when the recorder opens, so a file that cannot be written is
// known at the start of the run.

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "track/point_store.h"
#include "track/track_file.h"
#include "track/track_sink.h"
#include "track/unit_track.h"

struct TrackSettings {
  std::string file;
  double speedBoundKmh = 300;
  // Positions kept in memory before they go to the spool file.
  std::size_t memoryPoints = 65536;
};

class TrackRecorder : public TrackSink {
 public:
  // Null, with `error` set ("Can not create the file '<name>.part'"), when
  // the temporary file cannot be made.
  static std::unique_ptr<TrackRecorder> Open(const TrackSettings& settings, std::string& error);

  std::vector<TrackFinding> Record(const PacketHolder& holder,
                                   const PacketOrigin& origin) override;
  std::vector<TrackFinding> Add(const TrackPoint& point) override;
  const TrackResult& Finish() override;

 private:
  explicit TrackRecorder(const TrackSettings& settings);
  // Under the lock.
  void AddLocked(TrackPoint point, std::vector<TrackFinding>& findings);
  void WriteFile();

  std::mutex lock_;
  SenseBounds bounds_;
  TrackFile file_;
  PointStore store_;
  std::unordered_map<std::string, uint32_t> unitIndex_;
  std::vector<UnitTrack> units_;
  bool finished_ = false;
  TrackResult result_;
};

// A unit key as the files can carry it: bytes outside printable ASCII
// become '?'; an empty key becomes "unknown".
std::string PrintableUnitKey(const std::string& key);
