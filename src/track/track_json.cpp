#include "track/track_json.h"

#include "track/summary_members.h"

void WriteSummaryMembers(TrackJsonWriter& writer, const UnitSummary& summary) {
  const auto time = [&writer](const std::optional<int64_t>& ms) {
    const std::string text = ms ? IsoTimeOrEmpty(*ms) : std::string();
    if (text.empty()) {
      writer.Null();
    } else {
      writer.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
    }
  };
  writer.Key("unit");
  writer.String(summary.unit.c_str(), static_cast<rapidjson::SizeType>(summary.unit.size()));
  writer.Key("points");
  writer.Uint64(summary.points);
  writer.Key("valid_points");
  writer.Uint64(summary.validPoints);
  writer.Key("out_of_range");
  writer.Uint64(summary.outOfRange);
  writer.Key("distance_m");
  writer.Double(summary.distanceM);
  writer.Key("first_time");
  time(summary.firstTimeMs);
  writer.Key("last_time");
  time(summary.lastTimeMs);
  writer.Key("time_span_s");
  if (summary.firstTimeMs && summary.lastTimeMs) {
    writer.Double(static_cast<double>(*summary.lastTimeMs - *summary.firstTimeMs) / 1000);
  } else {
    writer.Null();
  }
  writer.Key("max_speed_kmh");
  if (summary.maxSpeedKmh) {
    writer.Double(*summary.maxSpeedKmh);
  } else {
    writer.Null();
  }
  writer.Key("checks");
  writer.StartArray();
  for (std::size_t i = 0; i < summary.checks.size(); ++i) {
    if (summary.checks[i] == 0) continue;
    writer.StartObject();
    writer.Key("kind");
    writer.String(TrackCheckName(static_cast<TrackCheck>(i)));
    writer.Key("count");
    writer.Uint64(summary.checks[i]);
    writer.EndObject();
  }
  writer.EndArray();
}

std::string TrackSummaryJsonLine(const UnitSummary& summary) {
  rapidjson::StringBuffer buffer;
  TrackJsonWriter writer(buffer);
  writer.SetMaxDecimalPlaces(3);
  writer.StartObject();
  writer.Key("type");
  writer.String("track");
  WriteSummaryMembers(writer, summary);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize());
}
