#include "console/service_report.h"

#include "service/field_report.h"
#include "service/service_names.h"
#include "service/standard_subrecords.h"
#include "service/subrecord_factory.h"
#include "service/time_checks.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/utc_time.h"

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

std::string SubrecordText(unsigned number, const Record& record, const Subrecord_Entry& entry,
                          const ReportContext& context) {
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

std::string RecordFlagLines(uint8_t rfl) {
  return StringPrintf(
      "      SSOD              - %u\n      RSOD              - %u\n"
      "      GRP               - %u\n      RPP               - %sb\n",
      (rfl >> 7) & 1u, (rfl >> 6) & 1u, (rfl >> 5) & 1u, BitString((rfl >> 3) & 3u, 2).c_str());
}

std::string RecordText(unsigned number, const Record& record, const ReportContext& context) {
  std::string text = StringPrintf(
      "\n  Record %u:\n    Record Length       - %u\n    Record Number       - %u\n"
      "    Record Flags        - %sb (0x%.2X)\n",
      number, record.RL, record.RN, BitString(record.RFL, 8).c_str(), record.RFL);
  if (context.set == SubrecordSet::kStandard) text += RecordFlagLines(record.RFL);
  if (record.RFL & RFL_OBFE) text += StringPrintf("    Object ID           - %u\n", record.OID);
  if (record.RFL & RFL_EVFE) text += StringPrintf("    Event ID            - %u\n", record.EVID);
  if (record.RFL & RFL_TMFE) {
    text += StringPrintf("    Time                - 0x%.8X (%s)\n", record.TM,
                         RecordTimeText(record.TM).c_str());
  }
  text += StringPrintf(
      "    Source Service      - %u (%s)\n    Recipient Service   - %u (%s)\n"
      "    Record Result       - %s\n",
      record.SST, ServiceName(record.SST, context.set), record.RST,
      ServiceName(record.RST, context.set), ResultText(record.result).c_str());
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

std::string MalformedRecordAreaText(const PacketHolder& holder) {
  if (!holder.packet || !holder.packet->malformedRecordArea) return std::string();
  return "Service Layer Parser: Incorrect Record Data format\n";
}
