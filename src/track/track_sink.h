#pragma once
// Where the packet sources hand their positions (-g:). The one interface a
// source calls; TrackRecorder is the implementation. Every member may be
// called from any thread, concurrently.
//
// A source calls, for every packet whose frame data it parsed (with the
// standard's subrecords, so that POS_DATA and EXT_POS_DATA have objects):
//     for (const TrackFinding& f : sink.Record(holder, origin)) <write f.level, f.text>
// and, for positions decoded elsewhere (the raw MSD), Add with each one.
// The orderly shutdown calls Finish once no source records any more; Finish
// may come sooner (a control event): what is recorded after it is dropped.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "service/packet.h"
#include "track/position_extraction.h"
#include "track/track_check.h"
#include "track/track_point.h"
#include "track/unit_summary.h"

// What a run's tracks came to.
struct TrackResult {
  std::string file;
  bool written = false;  // the whole file is in place under its name
  std::string error;     // why not, when not
  uint64_t bytes = 0;
  std::vector<UnitSummary> units;  // in the order the units first appeared
  // Positions of units beyond the first kMaxTrackUnits: not kept.
  uint64_t positionsNotKept = 0;
};

// Units a run keeps tracks of; positions of further units are counted only,
// so that memory stays bounded whatever OIDs the input holds.
constexpr std::size_t kMaxTrackUnits = 50000;

class TrackSink {
 public:
  virtual ~TrackSink() = default;

  // The positions of one parsed packet (PositionsOf), checked per unit.
  // Returns the findings of the checks that fired.
  virtual std::vector<TrackFinding> Record(const PacketHolder& holder,
                                           const PacketOrigin& origin) = 0;
  // One position, as a source that decodes it itself gives it.
  virtual std::vector<TrackFinding> Add(const TrackPoint& point) = 0;
  // Writes the file under a temporary name beside it and renames it into
  // place, and returns the summary; later calls return the same result.
  virtual const TrackResult& Finish() = 0;
};
