#include <string>

#include "track/decimal_text.h"
#include "track/summary_members.h"
#include "track/track_writers.h"

namespace {

constexpr std::size_t kFlushBytes = 1 << 20;
constexpr int kCoordinatePlaces = 7;  // 1 cm of latitude
constexpr int kDecimalPlaces = 3;

class GeoJsonDocument {
 public:
  explicit GeoJsonDocument(std::ostream& out) : out_(out), writer_(buffer_) {
    writer_.SetMaxDecimalPlaces(kDecimalPlaces);
  }

  TrackJsonWriter& Writer() { return writer_; }

  // Hands what was written so far to the stream (RapidJSON only appends to
  // its buffer, so it may be emptied between values).
  void Flush(bool always = false) {
    if (!always && buffer_.GetSize() < kFlushBytes) return;
    out_.write(buffer_.GetString(), static_cast<std::streamsize>(buffer_.GetSize()));
    buffer_.Clear();
  }

  void Key(const char* key) { writer_.Key(key); }
  void Text(const std::string& text) {
    writer_.String(text.c_str(), static_cast<rapidjson::SizeType>(text.size()));
  }
  void Position(const StoredPoint& point, bool withAltitude) {
    writer_.StartArray();
    Coordinate(point.longitude);
    Coordinate(point.latitude);
    if (withAltitude && point.Has(StoredPoint::kAltitude)) writer_.Double(point.altitudeM);
    writer_.EndArray();
  }

 private:
  // Rounded, where RapidJSON's decimal places would cut.
  void Coordinate(double degrees) {
    const std::string text = DecimalText(degrees, kCoordinatePlaces);
    writer_.RawValue(text.c_str(), text.size(), rapidjson::kNumberType);
  }

  std::ostream& out_;
  rapidjson::StringBuffer buffer_;
  TrackJsonWriter writer_;
};

void WriteLine(GeoJsonDocument& doc, const UnitSummary& summary, uint32_t unit,
               PointStore& store, bool& read) {
  TrackJsonWriter& w = doc.Writer();
  w.StartObject();
  doc.Key("type");
  w.String("Feature");
  doc.Key("geometry");
  w.StartObject();
  doc.Key("type");
  w.String("LineString");
  doc.Key("coordinates");
  w.StartArray();
  read = store.ForEach(unit, [&doc](const StoredPoint& point) {
    if (!point.Has(StoredPoint::kValid)) return;
    doc.Position(point, false);
    doc.Flush();
  });
  w.EndArray();
  w.EndObject();
  doc.Key("properties");
  w.StartObject();
  WriteSummaryMembers(w, summary);
  w.EndObject();
  w.EndObject();
}

void WritePointProperties(GeoJsonDocument& doc, const std::string& unit,
                          const StoredPoint& point) {
  TrackJsonWriter& w = doc.Writer();
  w.StartObject();
  doc.Key("unit");
  doc.Text(unit);
  if (point.Has(StoredPoint::kTime)) {
    const std::string time = IsoTimeOrEmpty(point.timeMs);
    if (!time.empty()) {
      doc.Key("time");
      doc.Text(time);
    }
  }
  doc.Key("valid");
  w.Bool(point.Has(StoredPoint::kValid));
  doc.Key("kind");
  w.String(PositionKindName(static_cast<PositionKind>(point.kind)));
  const auto number = [&](const char* key, StoredPoint::Flag flag, double value) {
    if (!point.Has(flag)) return;
    doc.Key(key);
    w.Double(value);
  };
  const auto count = [&](const char* key, StoredPoint::Flag flag, unsigned value) {
    if (!point.Has(flag)) return;
    doc.Key(key);
    w.Uint(value);
  };
  count("PID", StoredPoint::kPID, point.PID);
  count("RN", StoredPoint::kRN, point.RN);
  number("speed_kmh", StoredPoint::kSpeed, point.speedKmh);
  number("heading", StoredPoint::kHeading, point.headingDeg);
  number("altitude_m", StoredPoint::kAltitude, point.altitudeM);
  if (point.fixDimensions != 0) {
    doc.Key("fix");
    w.String(point.fixDimensions == 3 ? "3d" : "2d");
  }
  count("source_event", StoredPoint::kSource, point.sourceEvent);
  count("satellites", StoredPoint::kSatellites, point.satellites);
  number("hdop", StoredPoint::kHdop, point.hdop);
  number("vdop", StoredPoint::kVdop, point.vdop);
  number("pdop", StoredPoint::kPdop, point.pdop);
  if (point.recent != 0) {
    doc.Key("recent");
    doc.Text("n-" + std::to_string(point.recent));
  }
  w.EndObject();
}

bool WritePoints(GeoJsonDocument& doc, const std::string& unitName, uint32_t unit,
                 PointStore& store) {
  TrackJsonWriter& w = doc.Writer();
  return store.ForEach(unit, [&](const StoredPoint& point) {
    w.StartObject();
    doc.Key("type");
    w.String("Feature");
    doc.Key("geometry");
    w.StartObject();
    doc.Key("type");
    w.String("Point");
    doc.Key("coordinates");
    doc.Position(point, true);
    w.EndObject();
    doc.Key("properties");
    WritePointProperties(doc, unitName, point);
    w.EndObject();
    doc.Flush();
  });
}

}  // namespace

bool WriteGeoJson(const std::vector<UnitSummary>& units, PointStore& store, std::ostream& out,
                  std::string& error) {
  GeoJsonDocument doc(out);
  TrackJsonWriter& w = doc.Writer();
  w.StartObject();
  doc.Key("type");
  w.String("FeatureCollection");
  doc.Key("features");
  w.StartArray();
  for (uint32_t unit = 0; unit < units.size(); ++unit) {
    bool read = true;
    if (store.ValidPoints(unit) >= 2) WriteLine(doc, units[unit], unit, store, read);
    if (!read || !WritePoints(doc, units[unit].unit, unit, store)) {
      error = store.Error();
      return false;
    }
  }
  w.EndArray();
  w.EndObject();
  doc.Flush(true);
  out << '\n';
  return true;
}
