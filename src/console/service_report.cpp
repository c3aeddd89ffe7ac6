#include "console/service_report.h"

#include "service/service_names.h"
#include "service/subrecord_factory.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/utc_time.h"

using namespace EGTS;

namespace {

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

std::string SubrecordText(unsigned number, const Subrecord_Entry& entry) {
  std::string text = StringPrintf(
      "    Subrecord %u:\n      Type              - %u (%s)\n      Length            - %u\n"
      "      Result            - %s\n",
      number, entry.SRT, SubrecordTypeName(entry.SRT), entry.SRL,
      ResultText(entry.result).c_str());
  if (entry.object) {
    std::string report;
    entry.object->Report(&report);
    text += report;
  }
  return text;
}

std::string RecordText(unsigned number, const Record& record) {
  std::string text = StringPrintf(
      "\n  Record %u:\n    Record Length       - %u\n    Record Number       - %u\n"
      "    Record Flags        - %sb (0x%.2X)\n",
      number, record.RL, record.RN, BitString(record.RFL, 8).c_str(), record.RFL);
  if (record.RFL & RFL_OBFE) text += StringPrintf("    Object ID           - %u\n", record.OID);
  if (record.RFL & RFL_EVFE) text += StringPrintf("    Event ID            - %u\n", record.EVID);
  if (record.RFL & RFL_TMFE) {
    text += StringPrintf("    Time                - 0x%.8X (%s)\n", record.TM,
                         RecordTimeText(record.TM).c_str());
  }
  text += StringPrintf(
      "    Source Service      - %u (%s)\n    Recipient Service   - %u (%s)\n"
      "    Record Result       - %s\n",
      record.SST, ServiceTypeName(record.SST), record.RST, ServiceTypeName(record.RST),
      ResultText(record.result).c_str());
  unsigned index = 0;
  for (const Subrecord_Entry& entry : record.subrecords) text += SubrecordText(++index, entry);
  return text;
}

}  // namespace

std::string FormatServiceLayerReport(uint8_t code, const PacketHolder& holder) {
  std::string text = StringPrintf(
      "\nEGTS Service Layer:\n-------------------\n  Parsing result      - %s\n",
      ResultText(code).c_str());
  if (!holder.packet) return text;
  // The packet-type fields are shown once they were read in full.
  if (code == EGTS_PC_OK) text += PacketTypeLines(holder);
  unsigned index = 0;
  for (const Record& record : holder.packet->records) text += RecordText(++index, record);
  return text;
}

std::string MalformedRecordAreaText(const PacketHolder& holder) {
  if (!holder.packet || !holder.packet->malformedRecordArea) return std::string();
  return "Service Layer Parser: Incorrect Record Data format\n";
}
