#include "console/service_report.h"

#include "service/field_report.h"
#include "service/record_fields.h"
#include "service/subrecord_table.h"
#include "service/subrecord_factory.h"
#include "service/time_checks.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "util/utc_time.h"

using namespace EGTS;

namespace {

constexpr uint8_t kFirstUserService = 64;

std::string ResultText(unsigned code) {
  return StringPrintf("%u (%s%s)", code, IsError(code) ? "ERROR: " : "", ResultCodeText(code));
}

std::string RecordTimeText(uint32_t tm) {
  UtcDateTime t;
  if (!ToUtcDateTime(static_cast<int64_t>(tm) + kEgtsEpochOffset, t)) {
    return "ERROR: incorrect DateTime value";
  }
  return StringPrintf("%.2u.%.2u.%.4u %.2u:%.2u:%.2u GMT", t.day, t.month, t.year, t.hour,
                      t.minute, t.second);
}

std::string PacketTypeLines(const PacketHolder& holder) {
  if (auto* response = dynamic_cast<const Packet_Response*>(holder.packet.get())) {
    return StringPrintf("  Response Packet ID  - %u\n  Processing Result   - %u (%s)\n",
                        response->RPID, response->PR, ResultCodeText(response->PR));
  }
  if (auto* signedPacket = dynamic_cast<const Packet_Signed_Appdata*>(holder.packet.get())) {
    return StringPrintf("  Signature Length    - %u\n", signedPacket->SIGL);
  }
  return "";
}

struct ReportContext {
  SubrecordSet set = SubrecordSet::kOriginal;
  int64_t receivedUnix = 0;
};

// With -x: the bytes of an entry without object, and every finding.
std::string StandardExtras(const Record& record, const Subrecord_Entry& entry,
                           const ReportContext& context) {
  std::vector<std::string> checks = entry.checks;
  std::string text;
  if (!entry.object && !entry.SRD.empty()) {
    text += "       Data                   - " + HexText(entry.SRD.data(), entry.SRD.size()) + "\n";
  }
  // The original classes keep their reports; the standard's further classes
  // report their own findings, and their times are checked here.
  if (entry.object && FindStandardSubrecord(record.RST, entry.SRT, entry.SRL) != nullptr) {
    FieldList fields;
    entry.object->Describe(fields);
    AppendTimeChecks(fields, context.receivedUnix, checks);
  }
  if (!checks.empty()) text += FormatFieldReport({}, checks);
  return text;
}

// With -x, a subrecord header cut short shows the type byte it holds, no
// length, and its bytes.
std::string CutSubrecordText(unsigned number, const Record& record, const Subrecord_Entry& entry,
                             const ReportContext& context) {
  const uint8_t srt = entry.cutHeader[0];
  return StringPrintf("    Subrecord %u:\n      Type              - %u (%s)\n"
                      "      Result            - %s\n",
                      number, srt, SubrecordNameWithoutLength(record.RST, srt, context.set),
                      ResultText(entry.result).c_str()) +
         "       Data                   - " +
         HexText(entry.cutHeader.data(), entry.cutHeader.size()) + "\n";
}

std::string SubrecordText(unsigned number, const Record& record, const Subrecord_Entry& entry,
                          const ReportContext& context) {
  if (context.set == SubrecordSet::kStandard && !entry.cutHeader.empty()) {
    return CutSubrecordText(number, record, entry, context);
  }
  std::string text = StringPrintf(
      "    Subrecord %u:\n      Type              - %u (%s)\n      Length            - %u\n"
      "      Result            - %s\n",
      number, entry.SRT, SubrecordName(record.RST, entry.SRT, entry.SRL, context.set), entry.SRL,
      ResultText(entry.result).c_str());
  if (entry.object) {
    std::string report;
    entry.object->Report(&report);
    text += report;
  }
  if (context.set == SubrecordSet::kStandard) text += StandardExtras(record, entry, context);
  return text;
}

const char* ServiceName(uint8_t service, SubrecordSet set) {
  const char* name = ServiceTypeName(service);
  if (set == SubrecordSet::kOriginal || std::string(name) != "unspecified") return name;
  return service < kFirstUserService ? "reserved service" : "user-defined service";
}

constexpr std::size_t kRecordLabelEnd = 24;  // where "- " begins

std::string RecordValueText(const RecordField& field, uint32_t value, SubrecordSet set) {
  using Shown = RecordField::Shown;
  switch (field.shown) {
    case Shown::kDecimal: return std::to_string(value);
    case Shown::kFlags: return BitString(value, 8) + StringPrintf("b (0x%.2X)", value);
    case Shown::kBits:
      return field.width == 1 ? std::to_string(value) : BitString(value, field.width) + "b";
    case Shown::kTime: return StringPrintf("0x%.8X (%s)", value, RecordTimeText(value).c_str());
    case Shown::kService:
      return StringPrintf("%u (%s)", value, ServiceName(static_cast<uint8_t>(value), set));
  }
  return std::string();
}

// The declared header fields the view has, those of -x only with it.
std::string RecordHeaderLines(const RecordHeaderView& header, SubrecordSet set) {
  std::string text;
  for (const RecordField& field : RecordFields()) {
    if (field.label == nullptr || (field.standardOnly && set != SubrecordSet::kStandard)) continue;
    const std::optional<uint32_t> value = field.value(header);
    if (!value) continue;
    std::string line = std::string("    ") + field.label;
    line.resize(kRecordLabelEnd, ' ');
    text += line + "- " + RecordValueText(field, RecordFieldValue(field, *value), set) + "\n";
  }
  return text;
}

// The header lines of a record. With -x they show the header as received:
// the fields of a header cut short whose bytes are there, and its bytes.
std::string RecordText(unsigned number, const Record& record, const ReportContext& context) {
  const bool standard = context.set == SubrecordSet::kStandard;
  const RecordHeaderView header = standard ? HeaderAsReceived(record) : HeaderAsStored(record);
  std::string text = StringPrintf("\n  Record %u:\n", number);
  text += RecordHeaderLines(header, context.set);
  text += StringPrintf("    Record Result       - %s\n", ResultText(record.result).c_str());
  if (standard && !record.cutHeader.empty()) {
    text += "    Header Bytes        - " +
            HexText(record.cutHeader.data(), record.cutHeader.size()) + "\n";
  }
  if (standard) {
    for (const std::string& check : RecordChecks(record)) {
      text += "    Check               - " + check + "\n";
    }
  }
  unsigned index = 0;
  for (const Subrecord_Entry& entry : record.subrecords) {
    text += SubrecordText(++index, record, entry, context);
  }
  return text;
}

}  // namespace

std::string FormatServiceLayerReport(uint8_t code, const PacketHolder& holder, SubrecordSet set,
                                     int64_t receivedUnix) {
  const ReportContext context{set, receivedUnix};
  std::string text = StringPrintf(
      "\nEGTS Service Layer:\n-------------------\n  Parsing result      - %s\n",
      ResultText(code).c_str());
  if (!holder.packet) return text;
  // The packet-type fields are shown once they were read in full.
  if (code == EGTS_PC_OK) text += PacketTypeLines(holder);
  unsigned index = 0;
  for (const Record& record : holder.packet->records) text += RecordText(++index, record, context);
  return text;
}

std::string MalformedRecordAreaText(const PacketHolder& holder, SubrecordSet set) {
  const bool malformed = set == SubrecordSet::kStandard
                             ? RecordAreaMalformed(holder)
                             : holder.packet && holder.packet->malformedRecordArea;
  return malformed ? "Service Layer Parser: Incorrect Record Data format\n" : std::string();
}
