#include "app/unit_reports.h"

#include <cstdio>
#include <mutex>
#include <string>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_dumps.h"
#include "platform/system_time.h"
#include "util/text.h"

void UnitPacketRoad::Take(uint32_t tid, bool sent, std::span<const uint8_t> bytes) const {
  if (!Wanted(sent)) return;
  pipeline::PacketIn in;
  in.bytes = bytes;
  in.time = platform::CurrentSystemTime();
  in.source = sent ? "unit" : "platform";
  in.extra.emplace_back("unit", std::to_string(tid));
  in.carriesPositions = sent;
  in.origin.TID = tid;
  if (print_) {
    in.textLead = StringPrintf("\nUnit %u %s", tid, sent ? "sent:" : "received:") +
                  (sent ? FormatSentDump(bytes) : FormatPacketDump(bytes));
  }
  const pipeline::PacketOut out = pipeline_.Take(in);
  if (print_) {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    if (pipeline_.Road().report.json) {
      std::fwrite(out.block.data(), 1, out.block.size(), stdout);
      std::fflush(stdout);
    } else {
      WriteText(out.block);
    }
  }
  for (const session::Finding& finding : out.trackFindings) {
    WriteMessage(session::FindingLine(finding));
  }
}
