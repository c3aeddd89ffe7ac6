#include "console/packet_json.h"

#include <chrono>
#include <cmath>
#include <cstring>

#include "console/json_text.h"
#include "service/field_list.h"
#include "service/field_sink.h"
#include "service/record_fields.h"
#include "service/subrecord_table.h"
#include "service/subrecord_factory.h"
#include "service/time_checks.h"
#include "service/time_field.h"
#include "transport/result_codes.h"
#include "transport/transport_fields.h"
#include "util/text.h"
#include "util/utc_time.h"

using namespace EGTS;

namespace {

// Reals carry the digits the text report shows, so both read the same.
double Rounded(double value, int decimals) {
  static constexpr double kScales[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  if (!std::isfinite(value) || decimals < 0 || decimals > 15) return value;
  const double scale = kScales[decimals];
  const double rounded = std::round(value * scale) / scale;
  return std::isfinite(rounded) ? rounded : value;
}

void WriteField(JsonText& json, const Field& field);

void WriteMembers(JsonText& json, const Field& field) {
  if (field.kind == Field::Kind::kArray) {
    json.StartArray();
    for (const Field& member : field.members) WriteField(json, member);
    json.EndArray();
    return;
  }
  json.StartObject();
  for (const Field& member : field.members) {
    json.DynamicKey(member.name.c_str());
    WriteField(json, member);
  }
  json.EndObject();
}

void WriteField(JsonText& json, const Field& field) {
  switch (field.kind) {
    case Field::Kind::kNull: json.Null(); return;
    case Field::Kind::kUnsigned: json.Unsigned(field.unsignedValue); return;
    case Field::Kind::kSigned: json.Signed(field.signedValue); return;
    case Field::Kind::kReal: json.Real(Rounded(field.realValue, field.decimals)); return;
    case Field::Kind::kBool: json.Bool(field.unsignedValue != 0); return;
    case Field::Kind::kText: json.Text(field.textValue); return;
    case Field::Kind::kBytes:
      json.Hex(reinterpret_cast<const uint8_t*>(field.textValue.data()), field.textValue.size());
      return;
    case Field::Kind::kObject:
    case Field::Kind::kArray: WriteMembers(json, field); return;
  }
  json.Null();
}

UtcDateTime UtcOf(const platform::SystemTime& time) {
  UtcDateTime t;
  t.year = time.year;
  t.month = time.month;
  t.day = time.day;
  t.hour = time.hour;
  t.minute = time.minute;
  t.second = time.second;
  return t;
}

// "yyyy-mm-ddThh:mm:ss.mmmZ" into a buffer; its length.
std::size_t IsoSystemTimeInto(const platform::SystemTime& time, char (&text)[kIsoTextRoom]) {
  return IsoTextInto(UtcOf(time), 3, time.millisecond % 1000, text);
}

// A subrecord's fields handed over one by one go straight into the JSON
// text; the times among them are checked against the reception as they
// pass.
class JsonFieldSink : public FieldSink {
 public:
  JsonFieldSink(JsonText& json, int64_t receptionUnix, std::vector<std::string>& timeChecks)
      : json_(json), receptionUnix_(receptionUnix), timeChecks_(timeChecks) {}

  // Closes "data" (opened by the first field, or now when there was none).
  void End() {
    Open();
    json_.EndObject();
  }

  void Unsigned(FieldName name, uint64_t value) override {
    Key(name);
    json_.Unsigned(value);
  }
  void Signed(FieldName name, int64_t value) override {
    Key(name);
    json_.Signed(value);
  }
  void Real(FieldName name, double value, int decimals) override {
    Key(name);
    json_.Real(Rounded(value, decimals));
  }
  void Text(FieldName name, const char* utf8, std::size_t size) override {
    Key(name);
    json_.Text(utf8, size);
  }
  void EgtsTime(FieldName name, uint32_t egtsSeconds) override {
    Unsigned(name, egtsSeconds);
    std::string text = TimeCheckText(std::string(name.Text(), name.Size()),
                                     int64_t{egtsSeconds} + kEgtsEpochOffset, receptionUnix_);
    if (!text.empty()) timeChecks_.push_back(std::move(text));
  }

 private:
  // A class that cannot write its fields writes none: "data" begins with
  // the first.
  void Open() {
    if (open_) return;
    open_ = true;
    json_.Key("data");
    json_.StartObject();
  }
  void Key(FieldName name) {
    Open();
    if (name.Plain()) {
      json_.CheckedKey({name.Text(), name.Size()});
    } else {
      json_.DynamicKey(name.Text());
    }
  }

  JsonText& json_;
  int64_t receptionUnix_;
  std::vector<std::string>& timeChecks_;
  bool open_ = false;
};

// A name from one of the name tables; those say "unspecified" for a number
// without a name, which JSON gives as null.
void NameOrNull(JsonText& json, const char* name) {
  if (name == nullptr || (name[0] == 'u' && std::strcmp(name, "unspecified") == 0)) {
    json.Null();
  } else {
    json.Text(name);
  }
}

void PutResult(JsonText& json, unsigned code) {
  json.Key("result");
  json.Unsigned(code);
  json.Key("result_text");
  // Nearly every result is OK: written without a look at its text.
  if (code == EGTS_PC_OK) {
    json.KnownText("OK");
  } else {
    json.Text(ResultCodeText(code));
  }
}

void Put(JsonText& json, JsonKey key, uint64_t value) {
  json.Key(key);
  json.Unsigned(value);
}

// The header fields as far as ValidateTransportHeader read them: nothing of
// fewer than 11 bytes, then the declared fields the check reached.
void WriteTransport(JsonText& json, const PacketJson& packet) {
  json.StartObject();
  PutResult(json, packet.transportResult);
  if (packet.bytes.size() >= kShortHeaderLength) {
    for (const TransportField& field : TransportFields()) {
      if (field.name.empty() ||
          !TransportFieldRead(field, packet.transportResult, packet.header)) {
        continue;
      }
      json.CheckedKey(field.name);
      json.Unsigned(field.value(packet.header));
    }
  }
  json.EndObject();
}

void WriteSubrecordName(JsonText& json, const Record& record, const Subrecord_Entry& entry,
                        bool standard) {
  const SubrecordSet set = standard ? SubrecordSet::kStandard : SubrecordSet::kOriginal;
  NameOrNull(json, entry.cutHeader.empty()
                       ? SubrecordName(record.RST, entry.SRT, entry.SRL, set)
                       : SubrecordNameWithoutLength(record.RST, entry.cutHeader[0], set));
}

void WriteChecks(JsonText& json, const std::vector<std::string>& checks) {
  json.Key("checks");
  json.StartArray();
  for (const std::string& check : checks) json.Text(check);
  json.EndArray();
}

// "data": the subrecord's fields, straight from the object when it can
// write them, else from its field list; the complaints about its times
// are appended to `checks`.
void WriteData(JsonText& json, const Subrecord_Class& object, int64_t receptionUnix,
               std::vector<std::string>& checks) {
  JsonFieldSink sink(json, receptionUnix, checks);
  if (object.WriteFields(sink)) {
    sink.End();
    return;
  }
  Field data = Field::Object("");
  object.Describe(data.members);
  json.Key("data");
  WriteMembers(json, data);
  AppendTimeChecks(data.members, receptionUnix, checks);
}

// A subrecord header cut short has the type byte it holds, no SRL, and its
// bytes as "header_bytes".
void WriteSubrecord(JsonText& json, const Record& record, const Subrecord_Entry& entry,
                    bool standard, int64_t receptionUnix) {
  json.StartObject();
  PutResult(json, entry.result);
  const bool cut = !entry.cutHeader.empty();
  Put(json, "SRT", cut ? entry.cutHeader[0] : entry.SRT);
  if (!cut) Put(json, "SRL", entry.SRL);
  json.Key("name");
  WriteSubrecordName(json, record, entry, standard);
  std::vector<std::string> checks = entry.checks;
  if (cut) {
    json.Key("header_bytes");
    json.Hex(entry.cutHeader.data(), entry.cutHeader.size());
  } else if (entry.object) {
    checks.insert(checks.end(), entry.object->checks.begin(), entry.object->checks.end());
    WriteData(json, *entry.object, receptionUnix, checks);
  } else {
    json.Key("SRD");
    json.Hex(entry.SRD.data(), entry.SRD.size());
  }
  WriteChecks(json, checks);
  json.EndObject();
}

// The declared header fields the view has, each decoded value after its
// field.
void WriteRecordHeader(JsonText& json, const RecordHeaderView& header) {
  for (const RecordField& field : RecordFields()) {
    const std::optional<uint32_t> value = field.value(header);
    if (!value) continue;
    json.CheckedKey(field.name);
    json.Unsigned(RecordFieldValue(field, *value));
    if (field.decoded.empty()) continue;
    json.CheckedKey(field.decoded);
    if (field.shown == RecordField::Shown::kTime) {
      WriteField(json, IsoTimeField("time", int64_t{*value} + kEgtsEpochOffset));
    } else {
      NameOrNull(json, ServiceTypeName(static_cast<uint8_t>(*value)));
    }
  }
}

// The header as received: the fields of a header cut short whose bytes are
// there, and its bytes as "header_bytes".
void WriteRecord(JsonText& json, const Record& record, bool standard, int64_t receptionUnix) {
  json.StartObject();
  PutResult(json, record.result);
  WriteRecordHeader(json, HeaderAsReceived(record));
  if (!record.cutHeader.empty()) {
    json.Key("header_bytes");
    json.Hex(record.cutHeader.data(), record.cutHeader.size());
  }
  if (standard) WriteChecks(json, RecordChecks(record));
  json.Key("subrecords");
  json.StartArray();
  for (const Subrecord_Entry& entry : record.subrecords) {
    WriteSubrecord(json, record, entry, standard, receptionUnix);
  }
  json.EndArray();
  json.EndObject();
}

// The packet-type fields, once they were read in full (as the text report
// shows them).
void WritePacketTypeFields(JsonText& json, const PacketJson& packet) {
  const Packet* held = packet.holder->packet.get();
  if (held == nullptr || packet.frameResult != EGTS_PC_OK) return;
  // The holder's type made the packet's class.
  if (packet.holder->type == EGTS_PT_RESPONSE) {
    const auto& response = static_cast<const Packet_Response&>(*held);
    Put(json, "RPID", response.RPID);
    Put(json, "PR", response.PR);
  } else if (packet.holder->type == EGTS_PT_SIGNED_APPDATA) {
    const auto& signedPacket = static_cast<const Packet_Signed_Appdata&>(*held);
    Put(json, "SIGL", signedPacket.SIGL);
    json.Key("SIGD");
    json.Hex(signedPacket.SIGD.data(), signedPacket.SIGD.size());
  }
}

void WriteFrame(JsonText& json, const PacketJson& packet, int64_t receptionUnix) {
  json.StartObject();
  if (packet.malformed) {
    json.Key("malformed");
    json.Bool(true);
  }
  PutResult(json, packet.frameResult);
  const PacketHolder& holder = *packet.holder;
  // SFRCS was read unless the frame data was cut short before it.
  const bool sfrcsRead = packet.header.FDL != 0 &&
                         (packet.frameResult != EGTS_PC_INVDATALEN || holder.packet != nullptr);
  if (sfrcsRead) Put(json, "SFRCS", holder.SFRCS);
  WritePacketTypeFields(json, packet);
  json.Key("records");
  json.StartArray();
  if (holder.packet) {
    for (const Record& record : holder.packet->records) {
      WriteRecord(json, record, packet.standard, receptionUnix);
    }
  }
  json.EndArray();
  json.EndObject();
}

}  // namespace

std::string IsoSystemTimeText(const platform::SystemTime& time) {
  char text[kIsoTextRoom];
  return std::string(text, IsoSystemTimeInto(time, text));
}

PacketJson PacketObjectOf(const char* source, std::span<const uint8_t> bytes, uint8_t code,
                          const TransportHeader& header, const PacketHolder* holder,
                          uint8_t parsed, bool standard) {
  PacketJson object;
  object.source = source;
  object.time = platform::CurrentSystemTime();
  object.bytes = bytes;
  object.transportResult = code;
  object.header = header;
  object.frameResult = parsed;
  object.holder = holder;
  object.malformed = holder != nullptr && RecordAreaMalformed(*holder);
  object.standard = standard;
  return object;
}

std::string PacketJsonLine(const PacketJson& packet, std::size_t* bytesEnd, std::string room) {
  JsonText json(std::move(room));
  json.StartObject();
  json.Key("type");
  json.KnownText("packet");
  json.Key("source");
  json.Text(packet.source);
  for (const auto& [key, value] : packet.extra) {
    json.DynamicKey(key);
    json.Text(value);
  }
  json.Key("time");
  char time[kIsoTextRoom];
  json.Text(time, IsoSystemTimeInto(packet.time, time));
  json.Key("bytes");
  json.Hex(packet.bytes.data(), packet.bytes.size());
  // Before the text's closing quote.
  if (bytesEnd != nullptr) *bytesEnd = json.Size() - 1;
  json.Key("transport");
  WriteTransport(json, packet);
  if (!IsError(packet.transportResult) && packet.holder != nullptr) {
    json.Key("frame");
    WriteFrame(json, packet, platform::UnixSeconds(packet.time));
  }
  json.EndObject();
  return json.Take();
}

std::string LogJsonLine(const platform::SystemTime& time, const std::string& source,
                        const std::string& level, const std::string& text) {
  JsonText json;
  json.StartObject();
  json.Key("type");
  json.Text("log");
  json.Key("time");
  json.Text(IsoSystemTimeText(time));
  json.Key("source");
  json.Text(source);
  json.Key("level");
  json.Text(level);
  json.Key("text");
  json.Text(text);
  json.EndObject();
  return json.Take();
}

namespace {

void WriteSides(JsonText& json, const CaptureSideCounts& terminal,
                const CaptureSideCounts& platform) {
  for (const auto& [key, side] : {std::pair{"terminal_to_platform", &terminal},
                                  std::pair{"platform_to_terminal", &platform}}) {
    json.DynamicKey(key);
    json.StartObject();
    Put(json, "packets", side->packets);
    Put(json, "records", side->records);
    json.EndObject();
  }
}

}  // namespace

std::string CaptureTotalsJsonLine(const CaptureTotalsSummary& totals) {
  JsonText json;
  json.StartObject();
  json.Key("type");
  json.Text("summary");
  json.Key("capture");
  json.Text(totals.capture);
  Put(json, "records", totals.records);
  Put(json, "connections", totals.connections);
  Put(json, "connections_summarized", totals.connectionsSummarized);
  WriteSides(json, totals.terminal, totals.platform);
  Put(json, "gaps", totals.gaps);
  Put(json, "bytes_lost", totals.bytesLost);
  Put(json, "findings", totals.findings);
  Put(json, "frames_cut", totals.framesCut);
  Put(json, "snap_length", static_cast<uint64_t>(totals.snapLength > 0 ? totals.snapLength : 0));
  Put(json, "ip_fragments", totals.fragments);
  Put(json, "malformed_frames", totals.malformedFrames);
  json.Key("damaged");
  json.Bool(totals.damaged);
  json.EndObject();
  return json.Take();
}

std::string CaptureSummaryJsonLine(const CaptureConnectionSummary& summary) {
  JsonText json;
  json.StartObject();
  json.Key("type");
  json.Text("summary");
  json.Key("connection");
  json.Text(summary.name);
  WriteSides(json, summary.terminal, summary.platform);
  json.Key("authorization_result");
  if (summary.authorizationResult < 0) {
    json.Null();
  } else {
    json.Unsigned(static_cast<unsigned>(summary.authorizationResult));
  }
  json.Key("codes");
  json.StartArray();
  for (const auto& [code, count] : summary.codes) {
    json.StartObject();
    Put(json, "code", code);
    json.Key("text");
    json.Text(ResultCodeText(code));
    Put(json, "count", count);
    json.EndObject();
  }
  json.EndArray();
  json.Key("findings");
  json.StartArray();
  for (const auto& [kind, count] : summary.findings) {
    json.StartObject();
    json.Key("kind");
    json.Text(kind);
    Put(json, "count", count);
    json.EndObject();
  }
  json.EndArray();
  Put(json, "gaps", summary.gaps);
  Put(json, "bytes_lost", summary.bytesLost);
  json.Key("ended");
  json.Text(summary.ending);
  json.EndObject();
  return json.Take();
}
