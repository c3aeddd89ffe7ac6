// GPX through libxml2's xmlTextWriter: it streams (a million track points
// never stand in memory as a tree), escapes and checks what it writes, and is
// the library whose xmllint validates the result against the GPX schema.
#include <libxml/xmlwriter.h>

#include <cctype>
#include <memory>

#include "track/decimal_text.h"
#include "track/track_writers.h"
#include "util/text.h"

namespace {

constexpr const char* kGpxNamespace = "http://www.topografix.com/GPX/1/1";
constexpr const char* kExtensionNamespace =
    "http://www.garmin.com/xmlschemas/TrackPointExtension/v2";
constexpr int kCoordinatePlaces = 7;

const xmlChar* Xml(const char* text) { return reinterpret_cast<const xmlChar*>(text); }

int WriteToStream(void* context, const char* bytes, int length) {
  auto* out = static_cast<std::ostream*>(context);
  out->write(bytes, length);
  return *out ? length : -1;
}

int CloseStream(void*) { return 0; }

struct WriterDeleter {
  void operator()(xmlTextWriter* writer) const { xmlFreeTextWriter(writer); }
};

// The calls a GPX document needs; the first failure is kept and every later
// call does nothing.
class GpxDocument {
 public:
  explicit GpxDocument(std::ostream& out) {
    xmlOutputBufferPtr buffer = xmlOutputBufferCreateIO(&WriteToStream, &CloseStream, &out, nullptr);
    if (buffer == nullptr) return;
    writer_.reset(xmlNewTextWriter(buffer));
    if (!writer_) {
      xmlOutputBufferClose(buffer);
      return;
    }
    xmlTextWriterSetIndent(writer_.get(), 1);
    xmlTextWriterSetIndentString(writer_.get(), Xml(" "));
  }

  bool Ok() const { return writer_ && ok_; }

  void Start(const char* name) { Check(xmlTextWriterStartElement(writer_.get(), Xml(name))); }
  void End() { Check(xmlTextWriterEndElement(writer_.get())); }
  void Attribute(const char* name, const std::string& value) {
    Check(xmlTextWriterWriteAttribute(writer_.get(), Xml(name), Xml(value.c_str())));
  }
  void Element(const char* name, const std::string& content) {
    Check(xmlTextWriterWriteElement(writer_.get(), Xml(name), Xml(content.c_str())));
  }
  void StartDocument() {
    Check(xmlTextWriterStartDocument(writer_.get(), "1.0", "UTF-8", nullptr));
  }
  void EndDocument() {
    Check(xmlTextWriterEndDocument(writer_.get()));
    Check(xmlTextWriterFlush(writer_.get()));
  }

 private:
  void Check(int result) {
    if (result < 0) ok_ = false;
  }

  std::unique_ptr<xmlTextWriter, WriterDeleter> writer_;
  bool ok_ = true;
};

std::string PointDescription(const StoredPoint& point) {
  std::string text;
  if (point.Has(StoredPoint::kPID)) text += StringPrintf("PID %u, ", unsigned{point.PID});
  if (point.Has(StoredPoint::kRN)) text += StringPrintf("RN %u, ", unsigned{point.RN});
  text += PositionKindName(static_cast<PositionKind>(point.kind));
  if (point.recent != 0) text += StringPrintf(" recent position n-%u", unsigned{point.recent});
  if (point.Has(StoredPoint::kSource)) {
    text += StringPrintf(", source event %u", unsigned{point.sourceEvent});
  }
  return text;
}

void WriteTrackPoint(GpxDocument& doc, const StoredPoint& point) {
  doc.Start("trkpt");
  doc.Attribute("lat", DecimalText(point.latitude, kCoordinatePlaces));
  // GPX longitudes stop short of 180: the same meridian is -180.
  doc.Attribute("lon", DecimalText(point.longitude >= 180 ? -180 : point.longitude,
                               kCoordinatePlaces));
  if (point.Has(StoredPoint::kAltitude)) doc.Element("ele", DecimalText(point.altitudeM, 2));
  if (point.Has(StoredPoint::kTime)) {
    const std::string time = IsoTimeOrEmpty(point.timeMs);
    if (!time.empty()) doc.Element("time", time);
  }
  doc.Element("desc", PointDescription(point));
  if (!point.Has(StoredPoint::kValid)) {
    doc.Element("fix", "none");
  } else if (point.fixDimensions != 0) {
    doc.Element("fix", point.fixDimensions == 3 ? "3d" : "2d");
  }
  if (point.Has(StoredPoint::kSatellites)) doc.Element("sat", std::to_string(point.satellites));
  if (point.Has(StoredPoint::kHdop)) doc.Element("hdop", DecimalText(point.hdop, 2));
  if (point.Has(StoredPoint::kVdop)) doc.Element("vdop", DecimalText(point.vdop, 2));
  if (point.Has(StoredPoint::kPdop)) doc.Element("pdop", DecimalText(point.pdop, 2));
  const bool course = point.Has(StoredPoint::kHeading) && point.headingDeg >= 0 &&
                      point.headingDeg < 360;
  if (point.Has(StoredPoint::kSpeed) || course) {
    doc.Start("extensions");
    doc.Start("gpxtpx:TrackPointExtension");
    if (point.Has(StoredPoint::kSpeed)) {
      doc.Element("gpxtpx:speed", DecimalText(point.speedKmh / 3.6, 3));  // m/s
    }
    if (course) doc.Element("gpxtpx:course", DecimalText(point.headingDeg, 2));
    doc.End();
    doc.End();
  }
  doc.End();
}

}  // namespace

bool WriteGpx(const std::vector<UnitSummary>& units, PointStore& store, std::ostream& out,
              std::string& error) {
  GpxDocument doc(out);
  doc.StartDocument();
  doc.Start("gpx");
  doc.Attribute("version", "1.1");
  doc.Attribute("creator", "Korvane");
  doc.Attribute("xmlns", kGpxNamespace);
  doc.Attribute("xmlns:gpxtpx", kExtensionNamespace);
  for (uint32_t unit = 0; unit < units.size() && doc.Ok(); ++unit) {
    doc.Start("trk");
    doc.Element("name", units[unit].unit);
    doc.Element("desc", SummaryText(units[unit]));
    doc.Start("trkseg");
    if (!store.ForEach(unit, [&doc](const StoredPoint& point) { WriteTrackPoint(doc, point); })) {
      error = store.Error();
      return false;
    }
    doc.End();
    doc.End();
  }
  doc.End();
  doc.EndDocument();
  if (!doc.Ok()) {
    error = "The XML writer failed";
    return false;
  }
  return true;
}

bool IsGpxName(const std::string& name) {
  if (name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".gpx";
}
