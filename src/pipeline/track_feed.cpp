#include "pipeline/track_feed.h"

#include "track/track_sink.h"

session::Findings FeedTracks(TrackSink* tracks, const PacketHolder& parsed,
                             const TransportHeader& header, const PacketOrigin& origin) {
  session::Findings findings;
  if (tracks == nullptr) return findings;
  PacketOrigin known = origin;
  known.PID = header.PID;
  for (const TrackFinding& finding : tracks->Record(parsed, known)) {
    const session::Level level =
        finding.level == "ERROR" ? session::Level::kError : session::Level::kWarning;
    findings.push_back(session::MakeFinding(level, finding.text));
  }
  return findings;
}
