#include "pipeline/packet_pipeline.h"

#include <algorithm>

#include "console/packet_json.h"
#include "console/service_report.h"
#include "pipeline/track_feed.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "transport/transport_report.h"

namespace pipeline {

namespace {

constexpr std::size_t kCheckedBytes = 0xFFFF;

uint16_t CheckedCount(std::span<const uint8_t> bytes) {
  return static_cast<uint16_t>(std::min(bytes.size(), kCheckedBytes));
}

}  // namespace

PacketOut PacketPipeline::Take(const PacketIn& in) const {
  PacketOut out;
  const uint16_t count = CheckedCount(in.bytes);
  if (in.checked) {
    out.transportResult = in.checked->result;
    out.header = in.checked->header;
  } else {
    out.transportResult = ValidateTransportHeader(in.bytes.data(), count, out.header);
  }
  const ReportOptions& report = road_.report;
  const bool tracks = road_.tracks != nullptr;
  const bool sound = in.whole && !EGTS::IsError(out.transportResult);
  // The report reads a parse unless it is a file's text without -v or our
  // own packet's dump.
  const bool reportReads = in.dumpOnly ? report.json
                                       : (in.body == TextBody::kLive || report.serviceLayer ||
                                          report.json);
  const bool toTracks = tracks && in.carriesPositions;
  const bool standard = in.needsStandard || toTracks;
  const EGTS::SubrecordSet set = standard || in.reportsStandardParse || report.standard
                                     ? EGTS::SubrecordSet::kStandard
                                     : EGTS::SubrecordSet::kOriginal;
  // Where the report wants the original subrecords and the caller the
  // standard's, the one parse gives both.
  const bool twoViews = reportReads && set != report.Set() && !in.reportsStandardParse;
  PacketHolder originalView;
  if (sound && (reportReads || standard)) {
    out.frameResult = ParseFrameData(in.bytes.data(), count, out.header, out.holder, set,
                                     twoViews ? &originalView : nullptr);
    out.parsed = true;
  }
  const PacketHolder& shown = twoViews ? originalView : out.holder;

  out.block = report.json ? Json(in, out, out.parsed ? &shown : nullptr, out.frameResult, out.split)
                          : Text(in, out, shown, out.frameResult, out.split);
  if (toTracks && out.parsed) {
    out.trackFindings = FeedTracks(road_.tracks, out.holder, out.header, in.origin);
  }
  return out;
}

std::string PacketPipeline::Text(const PacketIn& in, const PacketOut& out,
                                 const PacketHolder& shown, uint8_t shownResult,
                                 std::size_t& split) const {
  const ReportOptions& report = road_.report;
  std::string text = in.textLead;
  split = text.size();
  text += in.textJoin;
  if (in.dumpOnly) return text;
  const int64_t received = in.receivedUnix ? *in.receivedUnix : platform::UnixSeconds(in.time);
  const std::string result =
      FormatTransportResult(out.transportResult, out.header, in.resultPrefix);
  if (in.body == TextBody::kLive) {
    text += MalformedRecordAreaText(shown, report.Set());
    text += result;
    if (out.parsed && report.serviceLayer) {
      text += FormatServiceLayerReport(shownResult, shown, report.Set(), received);
    }
    return text;
  }
  text += result;
  if (out.parsed && report.serviceLayer) {
    text += MalformedRecordAreaText(shown, report.Set()) +
            FormatServiceLayerReport(shownResult, shown, report.Set(), received);
  }
  return text;
}

std::string PacketPipeline::Json(const PacketIn& in, const PacketOut& out,
                                 const PacketHolder* shown, uint8_t shownResult,
                                 std::size_t& split) const {
  PacketJson object;
  object.source = in.source;
  object.extra = in.extra;
  object.time = in.time;
  object.bytes = in.bytes;
  object.transportResult = out.transportResult;
  object.header = out.header;
  object.frameResult = shownResult;
  object.holder = shown;
  object.malformed = shown != nullptr && RecordAreaMalformed(*shown);
  object.standard = road_.report.standard;
  std::string line =
      PacketJsonLine(object, &split, in.room != nullptr ? std::move(*in.room) : std::string());
  line += '\n';
  return line;
}

}  // namespace pipeline
