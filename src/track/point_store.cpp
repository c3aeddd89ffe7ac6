#include "track/point_store.h"

#include <system_error>

StoredPoint StoredPointOf(const TrackPoint& point) {
  StoredPoint stored;
  const auto put = [&stored](auto& field, const auto& value, StoredPoint::Flag flag) {
    if (!value) return;
    field = *value;
    stored.flags |= flag;
  };
  put(stored.timeMs, point.timeMs, StoredPoint::kTime);
  put(stored.speedKmh, point.speedKmh, StoredPoint::kSpeed);
  put(stored.headingDeg, point.headingDeg, StoredPoint::kHeading);
  put(stored.altitudeM, point.altitudeM, StoredPoint::kAltitude);
  put(stored.sourceEvent, point.sourceEvent, StoredPoint::kSource);
  put(stored.satellites, point.satellites, StoredPoint::kSatellites);
  put(stored.hdop, point.hdop, StoredPoint::kHdop);
  put(stored.vdop, point.vdop, StoredPoint::kVdop);
  put(stored.pdop, point.pdop, StoredPoint::kPdop);
  put(stored.PID, point.PID, StoredPoint::kPID);
  put(stored.RN, point.RN, StoredPoint::kRN);
  if (point.valid) stored.flags |= StoredPoint::kValid;
  stored.latitude = point.latitude;
  stored.longitude = point.longitude;
  stored.fixDimensions = point.fixDimensions.value_or(0);
  stored.kind = static_cast<uint8_t>(point.kind);
  stored.recent = point.recent;
  return stored;
}

PointStore::PointStore(std::filesystem::path spoolPath, std::size_t memoryPoints)
    : spoolPath_(std::move(spoolPath)), memoryPoints_(memoryPoints == 0 ? 1 : memoryPoints) {}

void PointStore::Release() {
  units_.clear();
  units_.shrink_to_fit();
  waiting_ = 0;
  if (!spool_.is_open()) return;
  spool_.close();
  std::error_code ignored;
  std::filesystem::remove(spoolPath_, ignored);
}

void PointStore::Fail(const std::string& what) {
  if (error_.empty()) error_ = what + " '" + spoolPath_.string() + "'";
}

bool PointStore::Append(uint32_t unit, const StoredPoint& point) {
  if (!error_.empty()) return false;
  if (unit >= units_.size()) units_.resize(unit + 1);
  units_[unit].waiting.push_back(point);
  if (point.Has(StoredPoint::kValid)) ++units_[unit].valid;
  if (++waiting_ >= memoryPoints_) return Spill();
  return true;
}

bool PointStore::Spill() {
  if (!spool_.is_open()) {
    spool_.open(spoolPath_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
    if (!spool_) {
      Fail("Can not create the spool file");
      return false;
    }
  }
  spool_.seekp(0, std::ios::end);
  for (UnitPoints& unit : units_) {
    if (unit.waiting.empty()) continue;
    spool_.write(reinterpret_cast<const char*>(unit.waiting.data()),
                 static_cast<std::streamsize>(unit.waiting.size() * sizeof(StoredPoint)));
    unit.chunks.push_back({spooled_, unit.waiting.size()});
    spooled_ += unit.waiting.size();
    // Capacity is given back, or units that filled up once would hold it.
    std::vector<StoredPoint>().swap(unit.waiting);
  }
  waiting_ = 0;
  if (!spool_) {
    Fail("Can not write the spool file");
    return false;
  }
  return true;
}

bool PointStore::ReadChunk(const Chunk& chunk, std::vector<StoredPoint>& into) {
  into.resize(chunk.count);
  spool_.flush();
  spool_.seekg(static_cast<std::streamoff>(chunk.offset * sizeof(StoredPoint)));
  spool_.read(reinterpret_cast<char*>(into.data()),
              static_cast<std::streamsize>(chunk.count * sizeof(StoredPoint)));
  if (!spool_) {
    Fail("Can not read the spool file");
    return false;
  }
  return true;
}
