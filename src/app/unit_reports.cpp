#include "app/unit_reports.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_dumps.h"
#include "console/packet_json.h"
#include "console/service_report.h"
#include "platform/system_time.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "transport/transport_report.h"
#include "util/text.h"

void ReportUnitPacket(uint32_t tid, bool sent, std::span<const uint8_t> bytes,
                      const ReportOptions& report) {
  const auto count = static_cast<uint16_t>(std::min<std::size_t>(bytes.size(), 0xFFFF));
  TransportHeader header;
  const uint8_t code = ValidateTransportHeader(bytes.data(), count, header);
  PacketHolder holder;
  uint8_t parsed = 0;
  if (!EGTS::IsError(code)) parsed = ParseFrameData(bytes.data(), count, header, holder, report.Set());
  const platform::SystemTime time = platform::CurrentSystemTime();
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  if (report.json) {
    PacketJson object = PacketObjectOf(sent ? "unit" : "platform", bytes, code, header,
                                       EGTS::IsError(code) ? nullptr : &holder, parsed,
                                       report.standard);
    object.extra.emplace_back("unit", std::to_string(tid));
    WriteJsonLine(PacketJsonLine(object));
    return;
  }
  std::string text = StringPrintf("\nUnit %u %s", tid, sent ? "sent:" : "received:");
  text += sent ? FormatSentDump(bytes) : FormatPacketDump(bytes);
  text += MalformedRecordAreaText(holder, report.Set());
  text += FormatTransportResult(code, header);
  if (report.serviceLayer && !EGTS::IsError(code)) {
    text += FormatServiceLayerReport(parsed, holder, report.Set(), platform::UnixSeconds(time));
  }
  WriteText(text);
}
