#include "pipeline/track_feed.h"

#include "track/track_sink.h"

std::vector<std::string> FeedTracks(TrackSink* tracks, const PacketHolder& parsed,
                                    const TransportHeader& header, const PacketOrigin& origin) {
  std::vector<std::string> lines;
  if (tracks == nullptr) return lines;
  PacketOrigin known = origin;
  known.PID = header.PID;
  for (const TrackFinding& finding : tracks->Record(parsed, known)) {
    lines.push_back(FindingLine(finding));
  }
  return lines;
}
