#include "app/conformance_mode.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <map>

#include "console/console_lock.h"
#include "console/console_output.h"
#include "console/log_line.h"
#include "app/process_state.h"
#include "platform/console_input.h"
#include "platform/wait_set.h"
#include "session/confirmation_tracker.h"
#include "session/unit_profile.h"
#include "util/text.h"

namespace {

constexpr std::chrono::milliseconds kTickPeriod{50};
// Time for the connections the runs closed to report their close before
// the console ends.
constexpr std::chrono::milliseconds kSettle{300};

bool ReadFile(const std::string& name, std::string& bytes) {
  std::ifstream in(name, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

std::string Directory(const std::string& path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

session::RunValue Number(double number) { return {number, "", false}; }
session::RunValue Text(const std::string& text) { return {std::nullopt, text, true}; }

// The unit profile (the simulated units' format, checked against its
// schema and the parameter table) as the values the steps compare with.
bool ReadExpectations(const std::string& file, session::UnitExpectations& unit, VerdictSetup& setup,
                      std::string& error) {
  std::string text;
  if (!ReadFile(file, text)) {
    error = "ERROR: Unit profile '" + file + "' can not be read\n";
    return false;
  }
  session::UnitProfile profile;
  std::string why;
  if (!session::ParseUnitProfile(text, profile, why)) {
    error = "ERROR: Unit profile '" + file + "': " + why + "\n";
    return false;
  }
  unit.values = {{"tid", Number(profile.tid)},          {"imei", Text(profile.imei)},
                 {"vin", Text(profile.vin)},            {"vehicle_type", Number(profile.vehicleType)},
                 {"propulsion", Number(profile.propulsion)}};
  if (!profile.imsi.empty()) unit.values["imsi"] = Text(profile.imsi);
  if (!profile.msisdn.empty()) unit.values["msisdn"] = Text(profile.msisdn);
  if (profile.bs != 0) unit.values["bs"] = Number(profile.bs);
  for (const auto& [key, value] : unit.values) setup.expected[key] = session::RunValueText(value);
  for (const auto& [parameter, value] : profile.parameters) {
    unit.parameters[parameter->name] = Text(EGTS::ValueText(value));
  }
  return true;
}

// Every run file, and the objects its uploads name (relative to the run).
bool ReadRuns(const std::vector<std::string>& files, std::vector<session::RunDefinition>& runs,
              std::map<std::string, std::vector<uint8_t>>& objects, std::string& messages) {
  for (const std::string& file : files) {
    std::string text;
    std::string error;
    if (!ReadFile(file, text)) {
      messages += "ERROR: Run file '" + file + "' can not be read\n";
      continue;
    }
    auto run = session::ParseRun(text, error);
    if (!run) {
      messages += "ERROR: Run file '" + file + "': " + error + "\n";
      continue;
    }
    run->path = file;
    for (session::RunStep& step : run->steps) {
      if (step.kind != session::StepKind::kSendUpload) continue;
      const std::string path = step.file.rfind('/', 0) == 0 ? step.file : Directory(file) + step.file;
      std::string bytes;
      if (!ReadFile(path, bytes) || bytes.empty()) {
        messages += "ERROR: Run file '" + file + "': the object '" + path + "' can not be read\n";
        continue;
      }
      step.file = path;
      objects[path].assign(bytes.begin(), bytes.end());
    }
    runs.push_back(std::move(*run));
  }
  return messages.empty();
}

}  // namespace

ConformanceMode::~ConformanceMode() {
  {
    std::lock_guard<std::mutex> hold(stopLock_);
    stop_ = true;
  }
  stopWake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
}

bool ConformanceMode::Load(const StartupSettings& settings) { return Read(settings, false); }

bool ConformanceMode::LoadForCapture(const StartupSettings& settings) { return Read(settings, true); }

bool ConformanceMode::Read(const StartupSettings& settings, bool capture) {
  std::string messages;
  if (!capture && (!settings.BindAccepted || !settings.Confirm)) {
    messages += "ERROR: Conformance runs (-t:) need a listening address (-b:) and -r\n";
  }
  session::UnitExpectations unit;
  setup_.listen = settings.BindAddress + ":" + std::to_string(settings.BindPort);
  setup_.profile = settings.ExpectedProfile;
  std::string error;
  if (!settings.ExpectedProfile.empty() && !ReadExpectations(settings.ExpectedProfile, unit, setup_, error)) {
    messages += error;
  }
  std::vector<session::RunDefinition> runs;
  std::map<std::string, std::vector<uint8_t>> objects;
  ReadRuns(settings.RunFiles, runs, objects, messages);
  if (!messages.empty()) {
    WriteMessage(messages);
    return false;
  }
  verdictFile_ = settings.VerdictFile;
  if (capture) {
    setup_.listen = "capture " + settings.CaptureFile;
    captureRunner_ = std::make_unique<session::ConformanceRunner>(
        std::move(runs), std::move(unit), std::move(objects), -1);
    captureRunner_->ExpectOnly();
    return true;
  }
  auto runner = std::make_unique<session::ConformanceRunner>(
      std::move(runs), std::move(unit), std::move(objects), session::SteadyNow());
  hub_ = std::make_unique<ConformanceHub>(std::move(runner), settings.Json);
  return true;
}

void ConformanceMode::Start() {
  ticker_ = std::thread([this] { Tick(); });
}

void ConformanceMode::Tick() {
  std::unique_lock<std::mutex> hold(stopLock_);
  while (!stop_) {
    stopWake_.wait_for(hold, kTickPeriod);
    if (stop_) return;
    hold.unlock();
    hub_->Tick();
    const bool done = hub_->Done();
    hold.lock();
    if (done) {
      stopWake_.wait_for(hold, kSettle, [this] { return stop_; });
      platform::StandardInput().Close();
      return;
    }
  }
}

void ConformanceMode::WaitUntilDone() {
  while (!hub_->Done()) {
    platform::WaitSet stop;
    if (platform::Event* event = StopAllEvent()) stop.Add(*event);
    if (stop.Wait(kTickPeriod).status == platform::WaitStatus::kSignalled) return;
  }
  platform::Sleep(kSettle);
}

int ConformanceMode::Finish() {
  {
    std::lock_guard<std::mutex> hold(stopLock_);
    stop_ = true;
  }
  stopWake_.notify_all();
  if (ticker_.joinable()) ticker_.join();
  return WriteVerdict(hub_->Reports(), hub_->Passed());
}

int ConformanceMode::FinishCapture() {
  return WriteVerdict(captureRunner_->Reports(), captureRunner_->Passed());
}

int ConformanceMode::WriteVerdict(const std::vector<session::RunReport>& reports, bool passed) {
  {
    std::lock_guard<std::recursive_mutex> hold(ConsoleLock());
    WriteText(VerdictText(setup_, reports));
  }
  int code = passed ? 0 : 1;
  if (verdictFile_.empty()) return code;
  const bool xml = verdictFile_.size() >= 4 &&
                   verdictFile_.compare(verdictFile_.size() - 4, 4, ".xml") == 0;
  std::string document;
  std::string error;
  if (xml) {
    if (!VerdictJunit(setup_, reports, document, error)) {
      WriteMessage("ERROR: Verdict file '" + verdictFile_ + "': " + error + "\n");
      return 3;
    }
  } else {
    document = VerdictJson(setup_, reports);
  }
  std::ofstream out(verdictFile_, std::ios::binary | std::ios::trunc);
  out.write(document.data(), static_cast<std::streamsize>(document.size()));
  out.close();
  if (!out) {
    WriteMessage("ERROR: Verdict file '" + verdictFile_ + "' can not be written\n");
    return 3;
  }
  WriteMessage(StringPrintf("INFO: Verdict written to '%s' (%zu bytes)\n", verdictFile_.c_str(),
                            document.size()));
  return code;
}
