#pragma once
// Every position of a run that a track file will hold, grouped by unit for
// the writers, in bounded memory: positions wait in memory per unit, and
// when `memoryPoints` of them wait, all are appended to a spool file as one
// chunk per unit. A writer then reads each unit's chunks back in order. A
// million positions cost the spool 88 MB of disk and the process at most
// `memoryPoints` positions of memory (88 bytes each) plus 16 bytes per chunk.
// Not thread-safe: the recorder holds it under its lock.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <type_traits>
#include <vector>

#include "track/track_point.h"

// A position as the store keeps it: fixed size, unknown values as flags.
struct StoredPoint {
  enum Flag : uint16_t {
    kTime = 1 << 0,
    kValid = 1 << 1,
    kSpeed = 1 << 2,
    kHeading = 1 << 3,
    kAltitude = 1 << 4,
    kSource = 1 << 5,
    kSatellites = 1 << 6,
    kHdop = 1 << 7,
    kVdop = 1 << 8,
    kPdop = 1 << 9,
    kPID = 1 << 10,
    kRN = 1 << 11,
  };
  int64_t timeMs = 0;
  double latitude = 0;
  double longitude = 0;
  double speedKmh = 0;
  double headingDeg = 0;
  double altitudeM = 0;
  double hdop = 0;
  double vdop = 0;
  double pdop = 0;
  uint16_t flags = 0;
  uint16_t PID = 0;
  uint16_t RN = 0;
  uint8_t fixDimensions = 0;  // 0: unknown
  uint8_t sourceEvent = 0;
  uint8_t satellites = 0;
  uint8_t kind = 0;  // PositionKind
  uint8_t recent = 0;

  bool Has(Flag flag) const { return (flags & flag) != 0; }
};
static_assert(std::is_trivially_copyable_v<StoredPoint>);

StoredPoint StoredPointOf(const TrackPoint& point);

class PointStore {
 public:
  // The spool is created at `spoolPath` when first needed and removed by
  // Release or the destructor.
  PointStore(std::filesystem::path spoolPath, std::size_t memoryPoints);
  ~PointStore() { Release(); }
  PointStore(const PointStore&) = delete;
  PointStore& operator=(const PointStore&) = delete;

  // False, with Error() set, when the spool cannot be written; the point is
  // then lost, and so are later ones.
  bool Append(uint32_t unit, const StoredPoint& point);

  // Calls visit(const StoredPoint&) for every point of the unit in the order
  // they came; false, with Error() set, when the spool cannot be read.
  template <typename Visit>
  bool ForEach(uint32_t unit, Visit&& visit);

  // How many valid positions the unit has.
  uint64_t ValidPoints(uint32_t unit) const {
    return unit < units_.size() ? units_[unit].valid : 0;
  }

  const std::string& Error() const { return error_; }

  // Forgets every position and removes the spool file.
  void Release();

 private:
  struct Chunk {
    uint64_t offset;  // in points
    uint64_t count;
  };
  struct UnitPoints {
    std::vector<StoredPoint> waiting;
    std::vector<Chunk> chunks;
    uint64_t valid = 0;
  };

  bool Spill();
  bool ReadChunk(const Chunk& chunk, std::vector<StoredPoint>& into);
  void Fail(const std::string& what);

  std::filesystem::path spoolPath_;
  std::size_t memoryPoints_;
  std::size_t waiting_ = 0;
  uint64_t spooled_ = 0;
  std::vector<UnitPoints> units_;
  std::fstream spool_;
  std::string error_;
};

template <typename Visit>
bool PointStore::ForEach(uint32_t unit, Visit&& visit) {
  if (unit >= units_.size()) return true;
  std::vector<StoredPoint> chunk;
  for (const Chunk& stored : units_[unit].chunks) {
    if (!ReadChunk(stored, chunk)) return false;
    for (const StoredPoint& point : chunk) visit(point);
  }
  for (const StoredPoint& point : units_[unit].waiting) visit(point);
  return true;
}
