#include "pipeline/track_feed.h"

#include <algorithm>

#include "service/record_parser.h"
#include "track/track_sink.h"
#include "transport/result_codes.h"

std::vector<std::string> FeedTracks(TrackSink* tracks, std::span<const uint8_t> bytes,
                                    uint8_t transportResult, const TransportHeader& header,
                                    const PacketHolder* parsed, EGTS::SubrecordSet set,
                                    const PacketOrigin& origin) {
  std::vector<std::string> lines;
  if (tracks == nullptr || EGTS::IsError(transportResult)) return lines;
  PacketOrigin known = origin;
  known.PID = header.PID;
  std::vector<TrackFinding> findings;
  if (parsed != nullptr && set == EGTS::SubrecordSet::kStandard) {
    findings = tracks->Record(*parsed, known);
  } else {
    const auto count = static_cast<uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
    PacketHolder standard;
    ParseFrameData(bytes.data(), count, header, standard, EGTS::SubrecordSet::kStandard);
    findings = tracks->Record(standard, known);
    ReleasePacket(standard);
  }
  lines.reserve(findings.size());
  for (const TrackFinding& finding : findings) lines.push_back(FindingLine(finding));
  return lines;
}
