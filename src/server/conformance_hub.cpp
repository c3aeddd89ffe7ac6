#include "server/conformance_hub.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "console/packet_json.h"
#include "platform/system_time.h"
#include "session/confirmation_tracker.h"
#include "service/record_parser.h"
#include "transport/result_codes.h"
#include "util/text.h"

ConformanceHub::ConformanceHub(std::unique_ptr<session::ConformanceRunner> runner, bool json)
    : runner_(std::move(runner)), json_(json) {}

template <typename Call>
auto ConformanceHub::Locked(Call call) {
  std::vector<session::StepResult> ended;
  std::vector<std::string> notes;
  auto flush = [&] { Flush(std::move(ended), std::move(notes)); };
  if constexpr (std::is_void_v<decltype(call(*runner_))>) {
    {
      std::lock_guard<std::mutex> hold(lock_);
      call(*runner_);
      ended = runner_->TakeEnded();
      notes = runner_->TakeNotes();
    }
    flush();
  } else {
    decltype(call(*runner_)) result;
    {
      std::lock_guard<std::mutex> hold(lock_);
      result = call(*runner_);
      ended = runner_->TakeEnded();
      notes = runner_->TakeNotes();
    }
    flush();
    return result;
  }
}

void ConformanceHub::Connected(uint32_t client) {
  Locked([&](session::ConformanceRunner& r) { r.Connected(client, session::SteadyNow()); });
}

void ConformanceHub::Closed(uint32_t client) {
  Locked([&](session::ConformanceRunner& r) { r.Closed(client, session::SteadyNow()); });
}

void ConformanceHub::Received(uint32_t client, const TransportHeader& header,
                              const PacketHolder& holder) {
  Locked([&](session::ConformanceRunner& r) { r.Received(client, header, holder, session::SteadyNow()); });
}

std::vector<std::vector<uint8_t>> ConformanceHub::Outgoing(uint32_t client,
                                                           ConfirmationCounters& counters) {
  return Locked([&](session::ConformanceRunner& r) {
    return r.Outgoing(client, counters, session::SteadyNow());
  });
}

bool ConformanceHub::WantsClose(uint32_t client) {
  std::lock_guard<std::mutex> hold(lock_);
  return runner_->WantsClose(client);
}

void ConformanceHub::SmsAnswer(const std::vector<uint8_t>& pdu) {
  std::string error;
  const auto message = sms::Parse(pdu, error);
  if (!message) {
    WriteMessage("ERROR: SMS PDU: " + error + "\n");
    return;
  }
  std::optional<std::vector<uint8_t>> packet;
  {
    std::lock_guard<std::mutex> hold(lock_);
    packet = sms_.Add(*message);
  }
  if (!packet) {
    WriteMessage("INFO: SMS part taken; the rest of its message is awaited\n");
    return;
  }
  const PacketRead read = ReadPacket(*packet, EGTS::SubrecordSet::kStandard);
  if (EGTS::IsError(read.headerResult)) {
    WriteMessage(StringPrintf("ERROR: The SMS carries no sound EGTS packet: %u (%s)\n",
                              read.headerResult, ResultCodeText(read.headerResult)));
    return;
  }
  WriteMessage(StringPrintf("INFO: SMS answer of the unit taken: packet %u, %zu bytes\n",
                            read.header.PID, packet->size()));
  Locked([&](session::ConformanceRunner& r) {
    r.SmsReceived(read.header, read.holder, session::SteadyNow());
  });
}

void ConformanceHub::Tick() {
  Locked([&](session::ConformanceRunner& r) { r.Advance(session::SteadyNow()); });
}

bool ConformanceHub::Done() {
  std::lock_guard<std::mutex> hold(lock_);
  return runner_->Done();
}

bool ConformanceHub::Passed() {
  std::lock_guard<std::mutex> hold(lock_);
  return runner_->Passed();
}

std::vector<session::RunReport> ConformanceHub::Reports() {
  std::lock_guard<std::mutex> hold(lock_);
  return runner_->Reports();
}

void ConformanceHub::Flush(std::vector<session::StepResult> ended,
                           std::vector<std::string> notes) const {
  for (const std::string& note : notes) LogLine(kWorkThreadSource, "%s", note.c_str());
  for (const session::StepResult& step : ended) {
    if (json_) {
      std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
      WriteJsonLine(StepJsonLine(step));
      WriteText(LogLinePrefix(platform::CurrentSystemTime(), kWorkThreadSource) + StepLogText(step));
    } else {
      LogLine(kWorkThreadSource, "%s", StepLogText(step).c_str());
    }
  }
}

std::string StepLogText(const session::StepResult& step) {
  const long long took = static_cast<long long>(step.ended - step.started);
  if (step.passed) {
    return StringPrintf("INFO: Run '%s' step %zu '%s': passed in %lld ms\n", step.run.c_str(),
                        step.index, step.step.c_str(), took);
  }
  return StringPrintf("WARNING: Run '%s' step %zu '%s': failed after %lld ms: %s\n", step.run.c_str(),
                      step.index, step.step.c_str(), took, step.reason.c_str());
}

std::string StepJsonLine(const session::StepResult& step) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.StartObject();
  writer.Key("type");
  writer.String("step");
  writer.Key("time");
  writer.String(IsoSystemTimeText(platform::CurrentSystemTime()).c_str());
  writer.Key("run");
  writer.String(step.run.c_str());
  writer.Key("index");
  writer.Uint64(step.index);
  writer.Key("step");
  writer.String(step.step.c_str());
  writer.Key("passed");
  writer.Bool(step.passed);
  if (!step.reason.empty()) {
    writer.Key("reason");
    writer.String(step.reason.c_str());
  }
  if (!step.note.empty()) {
    writer.Key("note");
    writer.String(step.note.c_str());
  }
  writer.Key("started_ms");
  writer.Int64(step.started);
  writer.Key("ended_ms");
  writer.Int64(step.ended);
  writer.EndObject();
  return buffer.GetString();
}
