// Writes a track file for the schema tests (GeoJSON, or GPX for a name
// ending in .gpx) and prints the JSON summary object of every unit: a route
// sent as POS_DATA with EXT_POS_DATA (an invalid fix and altitudes among
// them), another as TRACK_DATA on a connection with a TID, an MSD with its
// recent positions, a unit with one position on the 180th meridian and one
// outside the ranges. The recorder spills to its spool every 16 positions,
// and Finish comes while positions still arrive, as a control event's
// shutdown would.

#include <cstdio>
#include <string>

#include "support/track_packets.h"
#include "track/track_json.h"
#include "track/track_recorder.h"

using namespace testing_support;

namespace {

constexpr uint32_t kStart = 536457600;  // 2027-01-01 in EGTS seconds

void SendRoute(TrackRecorder& recorder, uint16_t firstPid) {
  std::vector<Fix> route = Route(55.75, 37.62, kStart, {{90, 50, 30}, {0, 70, 30}});
  for (std::size_t i = 0; i < route.size(); ++i) {
    Fix& fix = route[i];
    if (i % 3 == 0) fix.altitude = 150 + static_cast<uint32_t>(i);
    fix.valid = i != 20;
    const Bytes subrecords = Concat({SubrecordBytes(16, PosDataSrd(fix)),
                                     SubrecordBytes(17, ExtPosDataSrd(9, 110))});
    const uint16_t pid = static_cast<uint16_t>(firstPid + i);
    recorder.Record(Parsed(RecordPacket(4711, 2, subrecords, pid, pid)), PacketOrigin{pid, {}, ""});
  }
}

void SendTrack(TrackRecorder& recorder) {
  const std::vector<Fix> route = Route(-33.86, 151.2, kStart, {{200, 40, 40}});
  const Bytes subrecords = SubrecordBytes(62, TrackDataSrd(route));
  recorder.Record(Parsed(RecordPacket(std::nullopt, 10, subrecords, 500, 1)),
                  PacketOrigin{500, 77u, "10.0.0.2:40522"});
}

void AddMsd(TrackRecorder& recorder) {
  TrackPoint point;
  point.unit = "10.0.0.3:40600";
  point.kind = PositionKind::RAW_MSD_DATA;
  point.PID = 9;
  point.RN = 3;
  point.latitude = 48.3003;
  point.longitude = 11.6174;
  point.recent = 2;
  recorder.Add(point);
  point.latitude = 48.3006;
  point.recent = 1;
  recorder.Add(point);
  point.latitude = 48.3009;
  point.recent = 0;
  point.timeMs = int64_t{1367878452} * 1000;
  point.headingDeg = 90;
  recorder.Add(point);
}

void AddEdges(TrackRecorder& recorder) {
  TrackPoint point;
  point.unit = "OID 9";
  point.latitude = -16.5;
  point.longitude = 180;
  point.timeMs = int64_t{1798761600} * 1000;
  point.speedKmh = 0;
  point.headingDeg = 0;
  recorder.Add(point);
  point.latitude = 91;
  recorder.Add(point);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvane_track_sample <track file>\n");
    return 2;
  }
  TrackSettings settings;
  settings.file = argv[1];
  settings.memoryPoints = 16;
  std::string error;
  std::unique_ptr<TrackRecorder> recorder = TrackRecorder::Open(settings, error);
  if (!recorder) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  SendRoute(*recorder, 1);
  SendTrack(*recorder);
  AddMsd(*recorder);
  AddEdges(*recorder);
  const TrackResult& result = recorder->Finish();
  SendRoute(*recorder, 100);  // after Finish: dropped
  if (!result.written) {
    std::fprintf(stderr, "%s\n", result.error.c_str());
    return 1;
  }
  for (const UnitSummary& unit : result.units) std::puts(TrackSummaryJsonLine(unit).c_str());
  return 0;
}
