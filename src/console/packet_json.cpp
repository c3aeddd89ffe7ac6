#include "console/packet_json.h"

#include <chrono>
#include <cmath>
#include <nlohmann/json.hpp>

#include "service/field_list.h"
#include "service/service_names.h"
#include "service/standard_subrecords.h"
#include "service/subrecord_factory.h"
#include "service/time_checks.h"
#include "service/time_field.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/utc_time.h"

using Json = nlohmann::ordered_json;
using namespace EGTS;

namespace {

Json FieldValue(const Field& field);

// Reals carry the digits the text report shows, so both read the same.
double Rounded(double value, int decimals) {
  if (!std::isfinite(value) || decimals < 0 || decimals > 15) return value;
  const double scale = std::pow(10.0, decimals);
  const double rounded = std::round(value * scale) / scale;
  return std::isfinite(rounded) ? rounded : value;
}

Json Members(const Field& field) {
  if (field.kind == Field::Kind::kArray) {
    Json array = Json::array();
    for (const Field& member : field.members) array.push_back(FieldValue(member));
    return array;
  }
  Json object = Json::object();
  for (const Field& member : field.members) object[member.name] = FieldValue(member);
  return object;
}

Json FieldValue(const Field& field) {
  switch (field.kind) {
    case Field::Kind::kNull:
      return nullptr;
    case Field::Kind::kUnsigned:
      return field.unsignedValue;
    case Field::Kind::kSigned:
      return field.signedValue;
    case Field::Kind::kReal:
      return Rounded(field.realValue, field.decimals);
    case Field::Kind::kText:
      return field.textValue;
    case Field::Kind::kBytes:
      return HexText(reinterpret_cast<const uint8_t*>(field.textValue.data()),
                     field.textValue.size());
    case Field::Kind::kObject:
    case Field::Kind::kArray:
      return Members(field);
  }
  return nullptr;
}

// A name from one of the name tables; those say "unspecified" for a number
// without a name, which JSON gives as null.
Json NameOrNull(const char* name) {
  if (name == nullptr || std::string(name) == "unspecified") return nullptr;
  return name;
}

void PutResult(Json& object, unsigned code) {
  object["result"] = code;
  object["result_text"] = ResultCodeText(code);
}

// The header fields as far as ValidateTransportHeader read them: nothing of
// fewer than 11 bytes, only the first three bytes' fields when the version
// or prefix was refused (128), no HCS or routing fields when the header
// length was wrong (131) or the routed header was cut short (139).
Json TransportObject(const PacketJson& packet) {
  Json transport = Json::object();
  PutResult(transport, packet.transportResult);
  if (packet.bytes.size() < kShortHeaderLength) return transport;
  const TransportHeader& h = packet.header;
  transport["PRV"] = h.PRV;
  transport["SKID"] = h.SKID;
  transport["PRF"] = h.PRF();
  transport["RTE"] = h.RTE() ? 1 : 0;
  transport["ENA"] = h.ENA();
  transport["CMP"] = h.CMP() ? 1 : 0;
  transport["PR"] = h.PR();
  if (packet.transportResult == EGTS_PC_UNS_PROTOCOL) return transport;
  transport["HL"] = h.HL;
  transport["HE"] = h.HE;
  transport["FDL"] = h.FDL;
  transport["PID"] = h.PID;
  transport["PT"] = h.PT;
  if (packet.transportResult == EGTS_PC_INC_HEADERFORM ||
      packet.transportResult == EGTS_PC_INVDATALEN) {
    return transport;
  }
  if (h.RTE()) {
    transport["PRA"] = h.PRA;
    transport["RCA"] = h.RCA;
    transport["TTL"] = h.TTL;
  }
  transport["HCS"] = h.HCS;
  return transport;
}

Json SubrecordName(const Record& record, const Subrecord_Entry& entry, bool standard) {
  if (standard) {
    const StandardSubrecord* row = FindStandardSubrecord(record.RST, entry.SRT, entry.SRL);
    if (row != nullptr && row->name != nullptr) return row->name;
  }
  return NameOrNull(SubrecordTypeName(entry.SRT));
}

Json SubrecordObject(const Record& record, const Subrecord_Entry& entry, bool standard,
                     int64_t receptionUnix) {
  Json subrecord = Json::object();
  PutResult(subrecord, entry.result);
  subrecord["SRT"] = entry.SRT;
  subrecord["SRL"] = entry.SRL;
  subrecord["name"] = SubrecordName(record, entry, standard);
  std::vector<std::string> checks = entry.checks;
  if (entry.object) {
    Field data = Field::Object("");
    entry.object->Describe(data.members);
    subrecord["data"] = Members(data);
    checks.insert(checks.end(), entry.object->checks.begin(), entry.object->checks.end());
    AppendTimeChecks(data.members, receptionUnix, checks);
  } else {
    subrecord["SRD"] = HexText(entry.SRD.data(), entry.SRD.size());
  }
  subrecord["checks"] = checks;
  return subrecord;
}

Json RecordObject(const Record& record, bool standard, int64_t receptionUnix) {
  Json object = Json::object();
  PutResult(object, record.result);
  object["RL"] = record.RL;
  object["RN"] = record.RN;
  object["RFL"] = record.RFL;
  object["SSOD"] = (record.RFL >> 7) & 1;
  object["RSOD"] = (record.RFL >> 6) & 1;
  object["GRP"] = (record.RFL >> 5) & 1;
  object["RPP"] = (record.RFL >> 3) & 3;
  object["OBFE"] = record.RFL & RFL_OBFE ? 1 : 0;
  object["EVFE"] = record.RFL & RFL_EVFE ? 1 : 0;
  object["TMFE"] = record.RFL & RFL_TMFE ? 1 : 0;
  if (record.RFL & RFL_OBFE) object["OID"] = record.OID;
  if (record.RFL & RFL_EVFE) object["EVID"] = record.EVID;
  if (record.RFL & RFL_TMFE) {
    object["TM"] = record.TM;
    object["time"] = FieldValue(IsoTimeField("time", int64_t{record.TM} + kEgtsEpochOffset));
  }
  object["SST"] = record.SST;
  object["RST"] = record.RST;
  object["service"] = NameOrNull(ServiceTypeName(record.RST));
  Json subrecords = Json::array();
  for (const Subrecord_Entry& entry : record.subrecords) {
    subrecords.push_back(SubrecordObject(record, entry, standard, receptionUnix));
  }
  object["subrecords"] = std::move(subrecords);
  return object;
}

// The packet-type fields, once they were read in full (as the text report
// shows them).
void PutPacketTypeFields(Json& frame, const PacketJson& packet) {
  const Packet* held = packet.holder->packet.get();
  if (held == nullptr || packet.frameResult != EGTS_PC_OK) return;
  if (auto* response = dynamic_cast<const Packet_Response*>(held)) {
    frame["RPID"] = response->RPID;
    frame["PR"] = response->PR;
  } else if (auto* signedPacket = dynamic_cast<const Packet_Signed_Appdata*>(held)) {
    frame["SIGL"] = signedPacket->SIGL;
    frame["SIGD"] = HexText(signedPacket->SIGD.data(), signedPacket->SIGD.size());
  }
}

Json FrameObject(const PacketJson& packet, int64_t receptionUnix) {
  Json frame = Json::object();
  if (packet.malformed) frame["malformed"] = true;
  PutResult(frame, packet.frameResult);
  const PacketHolder& holder = *packet.holder;
  // SFRCS was read unless the frame data was cut short before it.
  const bool sfrcsRead = packet.header.FDL != 0 &&
                         (packet.frameResult != EGTS_PC_INVDATALEN || holder.packet != nullptr);
  if (sfrcsRead) frame["SFRCS"] = holder.SFRCS;
  PutPacketTypeFields(frame, packet);
  Json records = Json::array();
  if (holder.packet) {
    for (const Record& record : holder.packet->records) {
      records.push_back(RecordObject(record, packet.standard, receptionUnix));
    }
  }
  frame["records"] = std::move(records);
  return frame;
}

// Texts from outside (file names, peers, packet strings) may hold any byte:
// invalid UTF-8 becomes U+FFFD instead of an exception.
std::string Dump(const Json& object) {
  return object.dump(-1, ' ', false, nlohmann::detail::error_handler_t::replace);
}

}  // namespace

std::string IsoSystemTimeText(const platform::SystemTime& time) {
  return StringPrintf("%.4u-%.2u-%.2uT%.2u:%.2u:%.2u.%.3uZ", time.year, time.month, time.day,
                      time.hour, time.minute, time.second, time.millisecond);
}

std::string PacketJsonLine(const PacketJson& packet) {
  Json object = Json::object();
  object["type"] = "packet";
  object["source"] = packet.source;
  for (const auto& [key, value] : packet.extra) object[key] = value;
  object["time"] = IsoSystemTimeText(packet.time);
  object["bytes"] = HexText(packet.bytes.data(), packet.bytes.size());
  object["transport"] = TransportObject(packet);
  if (!IsError(packet.transportResult) && packet.holder != nullptr) {
    object["frame"] = FrameObject(packet, platform::UnixSeconds(packet.time));
  }
  return Dump(object);
}

std::string LogJsonLine(const platform::SystemTime& time, const std::string& source,
                        const std::string& level, const std::string& text) {
  Json object = Json::object();
  object["type"] = "log";
  object["time"] = IsoSystemTimeText(time);
  object["source"] = source;
  object["level"] = level;
  object["text"] = text;
  return Dump(object);
}

std::string CaptureSummaryJsonLine(const CaptureConnectionSummary& summary) {
  Json object = Json::object();
  object["type"] = "summary";
  object["connection"] = summary.name;
  object["terminal_to_platform"] = {{"packets", summary.terminal.packets},
                                    {"records", summary.terminal.records}};
  object["platform_to_terminal"] = {{"packets", summary.platform.packets},
                                    {"records", summary.platform.records}};
  if (summary.authorizationResult < 0) {
    object["authorization_result"] = nullptr;
  } else {
    object["authorization_result"] = summary.authorizationResult;
  }
  Json codes = Json::array();
  for (const auto& [code, count] : summary.codes) {
    codes.push_back({{"code", code}, {"text", ResultCodeText(code)}, {"count", count}});
  }
  object["codes"] = std::move(codes);
  Json findings = Json::array();
  for (const auto& [kind, count] : summary.findings) {
    findings.push_back({{"kind", kind}, {"count", count}});
  }
  object["findings"] = std::move(findings);
  object["gaps"] = summary.gaps;
  object["bytes_lost"] = summary.bytesLost;
  object["ended"] = summary.ending;
  return Dump(object);
}
