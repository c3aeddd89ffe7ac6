#include "track/position_extraction.h"

#include "service/ecall/subrecord_ecall_msd_data.h"
#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"
#include "service/ecall/subrecord_track_data.h"
#include "service/teledata/subrecord_ext_pos_data.h"
#include "service/teledata/subrecord_pos_data.h"
#include "util/utc_time.h"

using namespace EGTS;

namespace {

constexpr double kFullScale = 4294967295.0;
constexpr double kMilliarcsecondsPerDegree = 3600000.0;
constexpr int64_t kMsPerS = 1000;
constexpr uint8_t kTrackLOHS = 0x40;
constexpr uint8_t kTrackLAHS = 0x20;
constexpr uint8_t kTrackRTM = 0x1F;
constexpr uint8_t kPosVLD = 0x01;
constexpr uint8_t kPosFIX = 0x02;
constexpr uint8_t kMsdPositionConfidence = 0x04;

template <typename T>
const T* ObjectOf(const Subrecord_Entry& entry) {
  if (entry.result != 0 || !entry.object) return nullptr;
  return dynamic_cast<const T*>(entry.object.get());
}

TrackPoint PointOf(const Record& record, const PacketOrigin& origin, PositionKind kind) {
  TrackPoint point;
  point.unit = UnitKeyOf(record, origin);
  point.PID = origin.PID;
  point.RN = record.RN;
  point.kind = kind;
  return point;
}

int64_t EgtsTimeMs(uint32_t egtsSeconds) {
  return (static_cast<int64_t>(egtsSeconds) + kEgtsEpochOffset) * kMsPerS;
}

// The EXT_POS_DATA that qualifies the POS_DATA at `index`: the first one
// after it and before the next POS_DATA, or, in a record with one of each,
// the one before it.
const Subrecord_EXT_POS_DATA* QualityOf(const Record& record, std::size_t index) {
  for (std::size_t i = index + 1; i < record.subrecords.size(); ++i) {
    if (ObjectOf<Subrecord_POS_DATA>(record.subrecords[i])) break;
    if (const auto* ext = ObjectOf<Subrecord_EXT_POS_DATA>(record.subrecords[i])) return ext;
  }
  const Subrecord_EXT_POS_DATA* before = nullptr;
  std::size_t positions = 0;
  std::size_t qualities = 0;
  for (const Subrecord_Entry& entry : record.subrecords) {
    if (ObjectOf<Subrecord_POS_DATA>(entry)) ++positions;
    if (const auto* ext = ObjectOf<Subrecord_EXT_POS_DATA>(entry)) {
      ++qualities;
      before = ext;
    }
  }
  return positions == 1 && qualities == 1 ? before : nullptr;
}

void AddQuality(TrackPoint& point, const Subrecord_EXT_POS_DATA& ext) {
  constexpr double kDopScale = 100.0;
  if (ext.SFE()) point.satellites = ext.SAT();
  if (ext.HFE()) point.hdop = ext.HDOP() / kDopScale;
  if (ext.VFE()) point.vdop = ext.VDOP() / kDopScale;
  if (ext.PFE()) point.pdop = ext.PDOP() / kDopScale;
}

TrackPoint PosDataPoint(const Record& record, const PacketOrigin& origin,
                        const Subrecord_POS_DATA& pos) {
  constexpr double kSpeedScale = 10.0;  // SPD in 0.1 km/h
  TrackPoint point = PointOf(record, origin, PositionKind::POS_DATA);
  point.timeMs = EgtsTimeMs(pos.NTM());
  point.latitude = pos.Latitude();
  point.longitude = pos.Longitude();
  point.speedKmh = pos.SPD() / kSpeedScale;
  point.headingDeg = pos.Heading();
  if (pos.ALTE()) point.altitudeM = static_cast<double>(pos.AltitudeMetres());
  point.valid = (pos.FLG() & kPosVLD) != 0;
  point.fixDimensions = (pos.FLG() & kPosFIX) != 0 ? 3 : 2;
  point.sourceEvent = pos.SRC();
  return point;
}

// LAHS 1 is south and LOHS 1 west, as the standard has them.
void AddTrackPoints(const Record& record, const PacketOrigin& origin,
                    const Subrecord_TRACK_DATA& track, std::vector<TrackPoint>& out) {
  constexpr double kSpeedScale = 100.0;  // SPD in 0.01 km/h
  constexpr int64_t kTenthMs = 100;
  int64_t timeMs = EgtsTimeMs(track.ATM());
  for (const Subrecord_TRACK_DATA::Point& tds : track.Points()) {
    // RTM n stands for (n + 1) tenths of a second.
    timeMs += ((tds.flags & kTrackRTM) + 1) * kTenthMs;
    if (!tds.TNDE) continue;
    TrackPoint point = PointOf(record, origin, PositionKind::TRACK_DATA);
    point.timeMs = timeMs;
    const double latitude = tds.LAT / kFullScale * 90.0;
    const double longitude = tds.LONG / kFullScale * 180.0;
    point.latitude = (tds.flags & kTrackLAHS) != 0 ? -latitude : latitude;
    point.longitude = (tds.flags & kTrackLOHS) != 0 ? -longitude : longitude;
    point.speedKmh = tds.SPD / kSpeedScale;
    point.headingDeg = tds.DIR;
    out.push_back(std::move(point));
  }
}

void AddMsdPoints(const Record& record, const PacketOrigin& origin,
                  const Subrecord_ECALL_MSD_DATA& msd, std::vector<TrackPoint>& out) {
  using Msd = Subrecord_ECALL_MSD_DATA;
  if (msd.PositionLatitude() == Msd::kUndefinedPosition ||
      msd.PositionLongitude() == Msd::kUndefinedPosition) {
    return;
  }
  TrackPoint base = PointOf(record, origin, PositionKind::ECALL_MSD_DATA);
  base.valid = (msd.ControlFlags() & kMsdPositionConfidence) != 0;
  // Recent positions: n-1 relative to the position, n-2 relative to n-1,
  // each in units of 100 milliarcseconds.
  constexpr int64_t kDeltaScale = 100;
  const int64_t lat1 = msd.PositionLatitude() + kDeltaScale * int64_t{msd.LATD_n1()};
  const int64_t lon1 = msd.PositionLongitude() + kDeltaScale * int64_t{msd.LOND_n1()};
  const bool hasN1 = msd.LATD_n1() != Msd::kUndefinedDelta && msd.LOND_n1() != Msd::kUndefinedDelta;
  const bool hasN2 =
      hasN1 && msd.LATD_n2() != Msd::kUndefinedDelta && msd.LOND_n2() != Msd::kUndefinedDelta;
  const auto at = [&base](int64_t lat, int64_t lon, uint8_t recent) {
    TrackPoint point = base;
    point.latitude = static_cast<double>(lat) / kMilliarcsecondsPerDegree;
    point.longitude = static_cast<double>(lon) / kMilliarcsecondsPerDegree;
    point.recent = recent;
    return point;
  };
  if (hasN2) {
    out.push_back(at(lat1 + kDeltaScale * int64_t{msd.LATD_n2()},
                     lon1 + kDeltaScale * int64_t{msd.LOND_n2()}, 2));
  }
  if (hasN1) out.push_back(at(lat1, lon1, 1));
  // The time and direction are the position's; the recent ones have none.
  TrackPoint position = at(msd.PositionLatitude(), msd.PositionLongitude(), 0);
  if (msd.TimeStamp() != 0) position.timeMs = int64_t{msd.TimeStamp()} * kMsPerS;
  if (msd.VehicleDirection() != Msd::kUndefinedDirection) {
    position.headingDeg = msd.VehicleDirection() * 2.0;  // 2-degree steps
  }
  out.push_back(std::move(position));
}

// The raw MSD as its decoding has it (format 1, decoded with the standard's
// subrecords): the same position, recent positions, time and direction as
// ECALL_MSD_DATA, in the ASN.1 structure's units.
void AddRawMsdPoints(const Record& record, const PacketOrigin& origin,
                     const Subrecord_ECALL_RAW_MSD_DATA_Decoded& raw,
                     std::vector<TrackPoint>& out) {
  using Msd::MsdPart;
  if (!raw.msd || !raw.msd->Has(MsdPart::kPositionLongitude)) return;
  const Msd::MSDStructure& msd = raw.msd->message.msdStructure;
  if (msd.positionLatitude == Msd::kUnknownPosition ||
      msd.positionLongitude == Msd::kUnknownPosition) {
    return;
  }
  TrackPoint base = PointOf(record, origin, PositionKind::RAW_MSD_DATA);
  base.valid = msd.positionCanBeTrusted;
  constexpr int64_t kDeltaScale = 100;  // deltas in 100 milliarcseconds
  const auto at = [&base](int64_t lat, int64_t lon, uint8_t recent) {
    TrackPoint point = base;
    point.latitude = static_cast<double>(lat) / kMilliarcsecondsPerDegree;
    point.longitude = static_cast<double>(lon) / kMilliarcsecondsPerDegree;
    point.recent = recent;
    return point;
  };
  const bool hasN1 =
      raw.msd->Has(MsdPart::kRecentVehicleLocationN1) && msd.recentVehicleLocationN1.has_value();
  const bool hasN2 = hasN1 && raw.msd->Has(MsdPart::kRecentVehicleLocationN2) &&
                     msd.recentVehicleLocationN2.has_value();
  const int64_t lat1 =
      msd.positionLatitude + (hasN1 ? kDeltaScale * msd.recentVehicleLocationN1->latitudeDelta : 0);
  const int64_t lon1 = msd.positionLongitude +
                       (hasN1 ? kDeltaScale * msd.recentVehicleLocationN1->longitudeDelta : 0);
  if (hasN2) {
    out.push_back(at(lat1 + kDeltaScale * msd.recentVehicleLocationN2->latitudeDelta,
                     lon1 + kDeltaScale * msd.recentVehicleLocationN2->longitudeDelta, 2));
  }
  if (hasN1) out.push_back(at(lat1, lon1, 1));
  TrackPoint position = at(msd.positionLatitude, msd.positionLongitude, 0);
  if (raw.msd->Has(MsdPart::kTimestamp) && msd.timestamp != 0) {
    position.timeMs = int64_t{msd.timestamp} * kMsPerS;
  }
  if (raw.msd->Has(MsdPart::kVehicleDirection) && msd.vehicleDirection != Msd::kUnknownDirection) {
    position.headingDeg = msd.vehicleDirection * 2.0;  // 2-degree steps
  }
  out.push_back(std::move(position));
}

void AddRecordPositions(const Record& record, const PacketOrigin& origin,
                        std::vector<TrackPoint>& out) {
  for (std::size_t i = 0; i < record.subrecords.size(); ++i) {
    const Subrecord_Entry& entry = record.subrecords[i];
    if (const auto* pos = ObjectOf<Subrecord_POS_DATA>(entry)) {
      TrackPoint point = PosDataPoint(record, origin, *pos);
      if (const auto* ext = QualityOf(record, i)) AddQuality(point, *ext);
      out.push_back(std::move(point));
    } else if (const auto* track = ObjectOf<Subrecord_TRACK_DATA>(entry)) {
      AddTrackPoints(record, origin, *track, out);
    } else if (const auto* msd = ObjectOf<Subrecord_ECALL_MSD_DATA>(entry)) {
      AddMsdPoints(record, origin, *msd, out);
    } else if (const auto* raw = ObjectOf<Subrecord_ECALL_RAW_MSD_DATA_Decoded>(entry)) {
      AddRawMsdPoints(record, origin, *raw, out);
    }
  }
}

}  // namespace

std::string UnitKeyOf(const Record& record, const PacketOrigin& origin) {
  if ((record.RFL & RFL_OBFE) != 0) return "OID " + std::to_string(record.OID);
  if (origin.TID) return "TID " + std::to_string(*origin.TID);
  return origin.label;
}

std::vector<TrackPoint> PositionsOf(const PacketHolder& holder, const PacketOrigin& origin) {
  std::vector<TrackPoint> points;
  if (!holder.packet) return points;
  for (const Record& record : holder.packet->records) AddRecordPositions(record, origin, points);
  return points;
}
