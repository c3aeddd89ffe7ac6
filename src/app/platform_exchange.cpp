#include "app/platform_exchange.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/packet_json.h"
#include "console/packet_dumps.h"
#include "console/service_report.h"
#include "platform/connected_socket.h"
#include "platform/wait_set.h"
#include "server/packet_framer.h"
#include "service/packet.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "transport/text.h"
#include "transport/transport_report.h"

namespace {

using Clock = std::chrono::steady_clock;

void Print(const std::string& text) {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteText(text);
}

std::chrono::milliseconds Left(Clock::time_point deadline) {
  return std::max(std::chrono::milliseconds(0),
                  std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
}

// The PID our packet carries, when its header is sound.
std::optional<uint16_t> OurPacketId(const std::vector<uint8_t>& packet) {
  const auto count = static_cast<uint16_t>(std::min<size_t>(packet.size(), 0xFFFF));
  TransportHeader header;
  if (EGTS::IsError(ValidateTransportHeader(packet.data(), count, header))) return std::nullopt;
  return header.PID;
}

bool SendAll(platform::ConnectedSocket& socket, const std::vector<uint8_t>& packet,
             Clock::time_point deadline, std::error_code& error) {
  for (size_t done = 0; done < packet.size();) {
    auto sent = socket.Send(packet.data() + done, packet.size() - done);
    if (sent) {
      done += *sent;
      continue;
    }
    if (sent.error().value() != EAGAIN) {
      error = sent.error();
      return false;
    }
    if (socket.Writable().Wait(Left(deadline)) != platform::WaitStatus::kSignalled) {
      error = platform::SystemError(ETIMEDOUT);
      return false;
    }
  }
  return true;
}

// The object of a packet the platform sent, in JSON mode.
std::string AnswerObject(const PacketFramer& framer, const ReportOptions& report,
                         const PacketHolder* holder, uint8_t parsed,
                         const platform::SystemTime& time) {
  PacketJson object;
  object.source = "platform";
  object.time = time;
  object.bytes = framer.Bytes();
  object.transportResult = framer.ResultCode();
  object.header = framer.Header();
  object.frameResult = parsed;
  object.holder = holder;
  object.malformed = holder != nullptr && holder->packet && holder->packet->malformedRecordArea;
  object.standard = report.standard;
  return PacketJsonLine(object);
}

void PrintObject(const std::string& line) {
  std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
  WriteJsonLine(line);
}

// Reports one packet from the platform; true when it is the confirmation
// of our packet.
bool ReportAnswer(const PacketFramer& framer, const ReportOptions& report,
                  const std::optional<uint16_t>& ourPid) {
  const platform::SystemTime time = platform::CurrentSystemTime();
  const std::span<const uint8_t> packet = framer.Bytes();
  PacketHolder holder;
  const uint8_t parsed = ParseFrameData(packet.data(), static_cast<uint16_t>(packet.size()),
                                        framer.Header(), holder, report.Set());
  std::string text;
  if (report.json) {
    PrintObject(AnswerObject(framer, report, &holder, parsed, time));
  } else {
    text = FormatPacketDump(packet);
    text += MalformedRecordAreaText(holder);
    text += FormatTransportResult(framer.ResultCode(), framer.Header());
    if (report.serviceLayer) {
      text += FormatServiceLayerReport(parsed, holder, report.Set(), platform::UnixSeconds(time));
    }
  }
  const auto* response = holder.type == EGTS::EGTS_PT_RESPONSE
                             ? static_cast<const EGTS::Packet_Response*>(holder.packet.get())
                             : nullptr;
  const bool confirmation = parsed == EGTS::EGTS_PC_OK && response != nullptr && ourPid &&
                            response->RPID == *ourPid;
  ReleasePacket(holder);
  if (!text.empty()) Print(text);
  return confirmation;
}

void ReportPart(const PacketFramer& framer, const ReportOptions& report) {
  if (report.json) {
    PrintObject(AnswerObject(framer, report, nullptr, 0, platform::CurrentSystemTime()));
    return;
  }
  std::string text = FormatPartDump(framer.Bytes());
  text += FormatTransportResult(framer.ResultCode(), framer.Header());
  Print(text);
}

}  // namespace

void ExchangeWithPlatform(const PlatformExchange& exchange, const std::vector<uint8_t>& packet) {
  const Clock::time_point deadline = Clock::now() + exchange.limit;
  const std::string where = exchange.address + ":" + std::to_string(exchange.port);
  auto socket = platform::ConnectedSocket::Connect(exchange.address, exchange.port, exchange.limit);
  if (!socket) {
    Print(StringPrintf("ERROR: Can not connect to the platform %s (error:%d %s)\n", where.c_str(),
                       socket.error().value(), socket.error().message().c_str()));
    return;
  }
  std::error_code error;
  if (!SendAll(**socket, packet, deadline, error)) {
    Print(StringPrintf("ERROR: Can not send the packet to the platform %s (error:%d %s)\n",
                       where.c_str(), error.value(), error.message().c_str()));
    return;
  }
  Print(StringPrintf("INFO: Packet sent to the platform %s (%lu bytes)\n", where.c_str(),
                     static_cast<unsigned long>(packet.size())));

  const std::optional<uint16_t> ourPid = OurPacketId(packet);
  PacketFramer framer;
  for (;;) {
    auto got = (*socket)->Receive(framer.ReceivePosition(), framer.Wanted());
    if (got && *got == 0) {
      Print("INFO: Connection closed by the platform\n");
      return;
    }
    if (!got && got.error().value() != EAGAIN) {
      Print(StringPrintf("ERROR: Can not receive from the platform (error:%d %s)\n",
                         got.error().value(), got.error().message().c_str()));
      return;
    }
    if (!got) {
      if ((*socket)->Wait(Left(deadline)) != platform::WaitStatus::kSignalled) {
        Print(StringPrintf("WARNING: No confirmation from the platform within %ld ms\n",
                           static_cast<long>(exchange.limit.count())));
        return;
      }
      continue;
    }
    switch (framer.Received(*got)) {
      case PacketFramer::Outcome::kNeedMore:
        break;
      case PacketFramer::Outcome::kPacket:
        if (ReportAnswer(framer, exchange.report, ourPid)) return;
        break;
      case PacketFramer::Outcome::kHeaderFailed:
        ReportPart(framer, exchange.report);
        Print("WARNING: The platform's answer cannot be framed; the connection is closed\n");
        return;
    }
  }
}
