#include "session/conformance_runner.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

#include "compose/object_parts.h"
#include "service/commands/subrecord_command_data.h"
#include "service/commands/unit_parameters.h"
#include "service/ecall/msd_checks.h"
#include "service/ecall/msd_decoder.h"
#include "service/subrecord_types.h"
#include "session/unit_facts.h"
#include "transport/checksum.h"
#include "transport/result_codes.h"
#include "transport/sms_pdu.h"
#include "util/byte_order.h"
#include "util/text.h"

namespace session {

namespace {

constexpr uint8_t kCommandData = 51;
constexpr uint8_t kResultCode = 9;
constexpr uint8_t kActRead = 1;
constexpr uint8_t kActSet = 2;

bool IsExpect(StepKind kind) { return kind <= StepKind::kExpectMsd; }

std::string Seconds(Millis ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) : StringPrintf("%.1f", static_cast<double>(ms) / 1000);
}

void PutU16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value & 0xFF));
  out.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
  PutU16(out, value & 0xFFFF);
  PutU16(out, value >> 16);
}

// CT_COM (CT 5, CCT 0), CID, SID 0, flags 0; CD: ADR 0, SZ/ACT, CCD, DT.
std::vector<uint8_t> CommandSrd(uint32_t cid, uint8_t act, uint16_t ccd,
                                const std::vector<uint8_t>& dt) {
  std::vector<uint8_t> srd{static_cast<uint8_t>(EGTS::EGTS_CT_COM << 4)};
  PutU32(srd, cid);
  PutU32(srd, 0);
  srd.push_back(0x00);
  PutU16(srd, 0);
  srd.push_back(act);
  PutU16(srd, ccd);
  srd.insert(srd.end(), dt.begin(), dt.end());
  return srd;
}

// The parameter a step names: by its name in the table, or by its code
// (decimal, or hexadecimal with 0x).
const EGTS::UnitParameter* FindStepParameter(const std::string& name) {
  if (const EGTS::UnitParameter* found = EGTS::FindParameter(name)) return found;
  const bool hex = name.rfind("0x", 0) == 0 || name.rfind("0X", 0) == 0;
  const std::string digits = hex ? name.substr(2) : name;
  if (digits.empty() || digits.size() > 5 ||
      digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos) {
    return nullptr;
  }
  const unsigned long code = std::stoul(digits, nullptr, hex ? 16 : 10);
  return code > 0xFFFF ? nullptr : EGTS::FindParameter(static_cast<uint16_t>(code));
}

// A run's value as the parameter's value; nothing when it does not read
// as the parameter's type.
std::optional<EGTS::ParameterValue> AsParameterValue(const EGTS::UnitParameter& parameter,
                                                     const RunValue& value) {
  return EGTS::ParseValueText(parameter, RunValueText(value));
}

// Two values agree: numbers as numbers (a text that reads as one too),
// texts as texts.
bool SameValue(const RunValue& expected, const std::string& actual) {
  if (expected.isText) return expected.text == actual;
  if (!expected.number) return false;
  char* end = nullptr;
  const double number = std::strtod(actual.c_str(), &end);
  return end != actual.c_str() && *end == '\0' && std::fabs(number - *expected.number) < 1e-6;
}

// IMEI, IMSI and MSISDN fill their fields with '0' characters: a field
// longer than the expected text agrees when the rest is '0's before or
// after it.
bool SamePaddedDigits(const std::string& expected, const std::string& actual) {
  if (expected.empty() || actual.size() <= expected.size()) return false;
  const std::size_t pad = actual.size() - expected.size();
  const auto zeros = [](const std::string& text) { return text.find_first_not_of('0') == std::string::npos; };
  return (actual.compare(pad, expected.size(), expected) == 0 && zeros(actual.substr(0, pad))) ||
         (actual.compare(0, expected.size(), expected) == 0 && zeros(actual.substr(expected.size())));
}

}  // namespace

struct ConformanceRunner::Active {
  Millis started = 0;
  Millis deadline = -1;
  bool needsSend = false;   // compose at the next Outgoing
  bool resendDue = false;
  bool sent = false;
  std::vector<uint8_t> bytes;
  uint16_t pid = 0;
  uint16_t rn = 0;
  Millis sentAt = 0;
  int sends = 0;
  bool transportConfirmed = false;
  uint32_t cid = 0;
  std::size_t part = 0;
  std::size_t parts = 0;
  bool waitingUnit = false;  // for a connection (and its authorization)
  Millis pauseUntil = -1;    // the pause before the step ("after_s")
  bool checked = false;      // the parameter and value were looked up
  std::string note;
};

ConformanceRunner::ConformanceRunner(std::vector<RunDefinition> runs, UnitExpectations unit,
                                     std::map<std::string, std::vector<uint8_t>> files, Millis start)
    : runs_(std::move(runs)),
      unit_(std::move(unit)),
      files_(std::move(files)),
      start_(start),
      facts_(std::make_unique<UnitFacts>()) {
  // A start below 0: the runs start with the first event (a capture's time).
  if (start >= 0) Pump(start);
}

ConformanceRunner::~ConformanceRunner() = default;

void ConformanceRunner::Connected(uint32_t connection, Millis now) {
  if (start_ < 0) start_ = now;
  connection_ = connection;
  connectedAt_ = now;
  authorized_ = false;
  identified_ = false;
  // Counters start again on a new connection: old confirmations mean nothing.
  facts_->packetResults.clear();
  facts_->recordResults.clear();
  if (active_ && runs_[run_].steps[step_].kind == StepKind::kExpectIdentity) {
    active_->deadline = now + kNotAuthorizedLimit;
  }
  Pump(now);
}

void ConformanceRunner::Closed(uint32_t connection, Millis now) {
  if (start_ < 0) start_ = now;
  std::erase(toClose_, connection);
  if (connection_ != connection) return;
  connection_.reset();
  authorized_ = false;
  // A step that goes by SMS does not need the connection.
  const bool bySms = active_ && runs_[run_].steps[step_].sms && runs_[run_].smsPdus;
  if (active_ && !IsExpect(runs_[run_].steps[step_].kind) && !bySms) {
    End(false, "the unit closed the connection", now);
  }
  Pump(now);
}

void ConformanceRunner::Received(uint32_t connection, const TransportHeader& header,
                                 const PacketHolder& holder, Millis now) {
  if (start_ < 0) start_ = now;
  if (WantsClose(connection)) return;  // closed by the runs: what it says counts no more
  if (connection_ != connection) Connected(connection, now);
  const std::size_t identitiesBefore = facts_->identities.size();
  facts_->Take(header, holder);
  if (facts_->identities.size() > identitiesBefore) AnswerStrayIdentity();
  Pump(now);
}

// A TERM_IDENTITY that no step of the run waits for (the unit came again
// between runs) is answered with RESULT_CODE 0, as a platform would.
void ConformanceRunner::AnswerStrayIdentity() {
  if (run_ < runs_.size() && runStarted_) {
    const auto& steps = runs_[run_].steps;
    const bool awaited = std::any_of(steps.begin() + static_cast<std::ptrdiff_t>(step_), steps.end(),
                                     [](const RunStep& s) { return s.kind == StepKind::kExpectIdentity; });
    if (awaited) return;
  }
  facts_->identities.clear();
  facts_->vehicles.clear();
  strayAnswers_ += 1;
}

void ConformanceRunner::Advance(Millis now) {
  if (start_ < 0) start_ = now;
  Pump(now);
  // A step the run puts on SMS with PDUs: composed with counters of the SMS
  // leg, printed as SMS-SUBMIT PDUs, never sent on TCP; no transport
  // confirmation comes over SMS, only the unit's answer.
  if (active_ && active_->needsSend && runs_[run_].steps[step_].sms && runs_[run_].smsPdus) {
    Active& a = *active_;
    uint8_t service = 0;
    const std::vector<RawSubrecord> payload = Payload(service);
    auto packet = ComposeRecordPacket(service, payload, smsCounters_);
    a.needsSend = false;
    if (!packet) {
      End(false, "the packet of the step does not fit one EGTS packet", now);
    } else {
      a.bytes = std::move(packet->bytes);
      a.pid = packet->pid;
      a.rn = packet->rn;
      a.sent = true;
      a.sends = 1;
      a.sentAt = now;
      a.transportConfirmed = true;
      PrintPdus(a);
    }
    Pump(now);
  }
}

void ConformanceRunner::PrintPdus(Active& a) {
  const RunDefinition& run = runs_[run_];
  const std::string& name = run.steps[step_].name;
  std::string number = run.smsNumber;
  if (const auto resolved = Resolve({std::nullopt, number, true})) number = RunValueText(*resolved);
  std::string error;
  const auto pdus = sms::BuildSubmit(number, a.bytes, ++smsReference_, error);
  for (std::size_t i = 0; i < pdus.size(); ++i) {
    notes_.push_back(StringPrintf("INFO: SMS-SUBMIT PDU %zu of %zu for step '%s': %s\n", i + 1,
                                  pdus.size(), name.c_str(),
                                  HexText(pdus[i].data(), pdus[i].size()).c_str()));
  }
  if (!error.empty()) notes_.push_back("WARNING: No SMS-SUBMIT PDU for step '" + name + "': " + error + "\n");
  a.note = pdus.empty() ? "no SMS-SUBMIT PDU: " + error : "sent as SMS-SUBMIT PDUs";
}

void ConformanceRunner::SmsReceived(const TransportHeader& header, const PacketHolder& holder,
                                    Millis now) {
  facts_->Take(header, holder);
  Pump(now);
}

std::vector<std::vector<uint8_t>> ConformanceRunner::Outgoing(uint32_t connection,
                                                              ConfirmationCounters& counters,
                                                              Millis now) {
  std::vector<std::vector<uint8_t>> out;
  if (connection_ != connection) return out;
  for (; strayAnswers_ > 0; --strayAnswers_) {
    if (auto packet = ComposeRecordPacket(EGTS::EGTS_AUTH_SERVICE, {{kResultCode, {0}}}, counters)) {
      out.push_back(std::move(packet->bytes));
      authorized_ = true;
    }
  }
  Pump(now);
  if (!active_) return out;
  Active& a = *active_;
  if (a.needsSend && runs_[run_].steps[step_].sms && runs_[run_].smsPdus) return out;
  if (a.needsSend) {
    uint8_t service = 0;
    const std::vector<RawSubrecord> payload = Payload(service);
    auto packet = ComposeRecordPacket(service, payload, counters);
    a.needsSend = false;
    if (!packet) {
      End(false, "the packet of the step does not fit one EGTS packet", now);
      Pump(now);
      return out;
    }
    a.bytes = std::move(packet->bytes);
    a.pid = packet->pid;
    a.rn = packet->rn;
    a.sent = true;
    a.sends = 1;
    a.sentAt = now;
    a.transportConfirmed = false;
    const RunDefinition& run = runs_[run_];
    if (run.steps[step_].sms) {
      notes_.push_back(StringPrintf("INFO: Step '%s' goes over TCP: the standard sends it by SMS\n",
                                    run.steps[step_].name.c_str()));
      a.note = "sent over TCP in place of SMS";
    }
    out.push_back(a.bytes);
  } else if (a.resendDue) {
    a.resendDue = false;
    a.sentAt = now;
    ++a.sends;
    notes_.push_back(StringPrintf("WARNING: Packet %u not confirmed within %s s (TL_RESPONSE_TO): "
                                  "sent again\n", a.pid, Seconds(kResponseLimit).c_str()));
    out.push_back(a.bytes);
  }
  return out;
}

bool ConformanceRunner::WantsClose(uint32_t connection) const {
  return std::find(toClose_.begin(), toClose_.end(), connection) != toClose_.end();
}

std::vector<StepResult> ConformanceRunner::TakeEnded() { return std::exchange(ended_, {}); }
std::vector<std::string> ConformanceRunner::TakeNotes() { return std::exchange(notes_, {}); }

bool ConformanceRunner::Passed() const {
  return done_ && std::all_of(reports_.begin(), reports_.end(), [](const RunReport& r) { return r.passed; });
}

Millis ConformanceRunner::NextDeadline() const {
  if (!active_) return -1;
  Millis next = active_->deadline;
  if (active_->sent && !active_->transportConfirmed) {
    const Millis resend = active_->sentAt + kResponseLimit;
    next = next < 0 ? resend : std::min(next, resend);
  }
  return next;
}

void ConformanceRunner::Pump(Millis now) {
  for (int guard = 0; guard < 100000 && !done_; ++guard) {
    if (!runStarted_) {
      if (run_ >= runs_.size()) {
        done_ = true;
        if (connection_) toClose_.push_back(*connection_);
        return;
      }
      StartRun(now);
    }
    if (!active_) StartStep(now);
    const std::size_t run = run_;
    const std::size_t step = step_;
    Evaluate(now);
    if (active_ && run == run_ && step == step_) return;  // waits
  }
}

void ConformanceRunner::StartRun(Millis now) {
  RunReport report;
  report.name = runs_[run_].name;
  report.path = runs_[run_].path;
  report.description = runs_[run_].description;
  report.started = now - start_;
  reports_.push_back(std::move(report));
  runStarted_ = true;
  step_ = 0;
  setValues_.clear();
  facts_->ClearData();
}

void ConformanceRunner::StartStep(Millis now) {
  const RunStep& step = runs_[run_].steps[step_];
  if (expectOnly_ && !IsExpect(step.kind)) {
    StepResult result;
    result.run = runs_[run_].name;
    result.step = step.name;
    result.index = step_ + 1;
    result.skipped = true;
    result.reason = "it sends: not checked against a capture";
    result.started = result.ended = now - start_;
    reports_.back().steps.push_back(result);
    if (++step_ >= runs_[run_].steps.size()) FinishRun(now);
    return;
  }
  if (step.after > 0 && !pausedBefore_) {
    // The step's pause ("after_s"); the step itself starts when it is over.
    pausedBefore_ = true;
    active_ = std::make_unique<Active>();
    active_->started = now;
    active_->pauseUntil = now + step.after;
    active_->deadline = active_->pauseUntil;
    return;
  }
  pausedBefore_ = false;
  active_ = std::make_unique<Active>();
  Active& a = *active_;
  a.started = now;
  if (IsExpect(step.kind)) {
    Millis within = step.within;
    if (within < 0) {
      within = step.kind != StepKind::kExpectIdentity ? kAnswerLimit
               : connection_                          ? kNotAuthorizedLimit
                                                      : kConnectLimit;
    }
    a.deadline = now + within;
    return;
  }
  // A send waits for the unit's connection (and, but for the RESULT_CODE
  // that answers an authorization, for its authorization).
  a.waitingUnit = true;
  a.deadline = now + kConnectLimit;
  a.cid = nextCid_++;
}

// The unit is there: the send can go.
void ConformanceRunner::Ready(Millis now) {
  const RunStep& step = runs_[run_].steps[step_];
  Active& a = *active_;
  a.waitingUnit = false;
  a.deadline = now + (step.within >= 0 ? step.within : kAnswerLimit);
  a.needsSend = true;
  if (step.kind == StepKind::kSendUpload) {
    const auto file = files_.find(step.file);
    if (file == files_.end() || file->second.empty()) {
      End(false, "upload failed: the file '" + step.file + "' holds nothing", now);
      return;
    }
    uint32_t size = step.partSize;
    if (size == 0) size = PartSizeFor(lastBs_);
    partSize_ = size;
    a.parts = PartCount(file->second.size(), size);
    ++objectId_;
  }
}

std::vector<RawSubrecord> ConformanceRunner::Payload(uint8_t& service) {
  const RunStep& step = runs_[run_].steps[step_];
  Active& a = *active_;
  switch (step.kind) {
    case StepKind::kSendResultCode:
      service = EGTS::EGTS_AUTH_SERVICE;
      return {{kResultCode, {step.code}}};
    case StepKind::kSendCommand:
      service = EGTS::EGTS_COMMANDS_SERVICE;
      return {{kCommandData, CommandSrd(a.cid, step.act, step.command, step.data)}};
    case StepKind::kSendSet:
    case StepKind::kSendGet: {
      service = EGTS::EGTS_COMMANDS_SERVICE;
      const EGTS::UnitParameter& parameter = *FindStepParameter(step.parameter);
      std::vector<uint8_t> dt;
      if (step.kind == StepKind::kSendSet) dt = pendingValue_;
      return {{kCommandData, CommandSrd(a.cid, step.kind == StepKind::kSendSet ? kActSet : kActRead,
                                        parameter.code, dt)}};
    }
    case StepKind::kSendUpload: {
      service = EGTS::EGTS_FIRMWARE_SERVICE;
      const std::vector<uint8_t>& object = files_[step.file];
      const ObjectHeader header{step.configuration, step.module, step.component, step.version};
      std::vector<uint8_t> srd =
          ObjectPartSrd(object, header, objectId_, partSize_, a.part, step.firstPart);
      return {{kServicePartData, std::move(srd)}};
    }
    default:
      return {};
  }
}

void ConformanceRunner::Evaluate(Millis now) {
  if (!active_) return;
  if (active_->pauseUntil >= 0) {
    if (now < active_->pauseUntil) return;
    active_.reset();
    StartStep(now);
    if (!active_) return;
  }
  if (IsExpect(runs_[run_].steps[step_].kind)) {
    EvaluateExpect(now);
  } else {
    EvaluateSend(now);
  }
}

std::optional<RunValue> ConformanceRunner::Resolve(const RunValue& value) const {
  if (!value.isText) return value;
  const auto lookup = [](const std::map<std::string, RunValue>& values,
                         const std::string& key) -> std::optional<RunValue> {
    const auto found = values.find(key);
    if (found == values.end()) return std::nullopt;
    return found->second;
  };
  if (value.text.rfind("unit.parameters.", 0) == 0) return lookup(unit_.parameters, value.text.substr(16));
  if (value.text.rfind("unit.", 0) == 0) return lookup(unit_.values, value.text.substr(5));
  if (value.text.rfind("run.", 0) == 0) return lookup(runs_[run_].values, value.text.substr(4));
  return value;
}

namespace {

struct FieldCheck {
  const char* key;
  std::string actual;
};

// The first mismatch as "<KEY> <actual>, expected <expected>"; empty when
// all agree. A reference that the profile lacks is reported too.
template <typename Resolver>
std::string Mismatch(const std::map<std::string, RunValue>& equal,
                     const std::vector<FieldCheck>& fields, Resolver resolve) {
  std::string text;
  for (const auto& entry : equal) {
    const std::string& key = entry.first;
    const RunValue& wanted = entry.second;
    const auto field = std::find_if(fields.begin(), fields.end(),
                                    [&](const FieldCheck& f) { return key == f.key; });
    const std::optional<RunValue> expected = resolve(wanted);
    std::string one;
    if (field == fields.end()) {
      one = key + " is not a field of the subrecord";
    } else if (!expected) {
      one = key + ": " + wanted.text + " is not in the unit profile or the run";
    } else if (!SameValue(*expected, field->actual) &&
               !SamePaddedDigits(RunValueText(*expected), field->actual)) {
      one = key + " " + EscapeControls(field->actual) + ", expected " + RunValueText(*expected);
    }
    if (!one.empty()) text += (text.empty() ? "" : "; ") + one;
  }
  return text;
}

}  // namespace

std::string ConformanceRunner::CheckIdentity(const RunStep& step) {
  const UnitIdentity identity = facts_->identities.front();
  facts_->identities.pop_front();
  identified_ = true;
  lastBs_ = identity.bs;
  RunReport& report = reports_.back();
  report.identity["TID"] = std::to_string(identity.tid);
  report.identity["IMEI"] = identity.imei;
  if (!identity.imsi.empty()) report.identity["IMSI"] = identity.imsi;
  if (!identity.msisdn.empty()) report.identity["MSISDN"] = identity.msisdn;
  if (identity.bs != 0) report.identity["BS"] = std::to_string(identity.bs);
  const std::string mismatch = Mismatch(
      step.equal,
      {{"TID", std::to_string(identity.tid)}, {"IMEI", identity.imei}, {"IMSI", identity.imsi},
       {"MSISDN", identity.msisdn}, {"BS", std::to_string(identity.bs)}},
      [this](const RunValue& v) { return Resolve(v); });
  return mismatch.empty() ? "" : "authorization failed: " + mismatch;
}

std::string ConformanceRunner::CheckVehicle(const RunStep& step) {
  const UnitVehicle vehicle = facts_->vehicles.front();
  facts_->vehicles.pop_front();
  RunReport& report = reports_.back();
  report.identity["VIN"] = vehicle.vin;
  report.identity["VHT"] = std::to_string(vehicle.vht);
  report.identity["VPST"] = std::to_string(vehicle.vpst);
  const std::string mismatch = Mismatch(
      step.equal,
      {{"VIN", vehicle.vin}, {"VHT", std::to_string(vehicle.vht & 0x1F)},
       {"VPST", std::to_string(vehicle.vpst)}},
      [this](const RunValue& v) { return Resolve(v); });
  return mismatch.empty() ? "" : "authentication failed: " + mismatch;
}

std::string ConformanceRunner::CheckMsd(const RunStep& step) {
  const std::vector<uint8_t> bytes = facts_->msds.front();
  facts_->msds.pop_front();
  const EGTS::Msd::MsdDecoding decoding = EGTS::Msd::DecodeMsd(bytes.data(), bytes.size());
  if (!decoding.Complete()) {
    return "RAW_MSD_DATA: the MSD does not decode" +
           (decoding.findings.empty() ? std::string() : ": " + decoding.findings.front());
  }
  std::vector<std::string> checks;
  EGTS::Msd::AppendMsdChecks(decoding, checks);
  if (!checks.empty()) return "RAW_MSD_DATA: " + checks.front();
  const EGTS::Msd::MSDStructure& msd = decoding.message.msdStructure;
  reports_.back().identity["MSD VIN"] = msd.vehicleIdentificationNumber;
  const std::string mismatch =
      Mismatch(step.equal, {{"VIN", msd.vehicleIdentificationNumber},
                            {"messageIdentifier", std::to_string(msd.messageIdentifier)}},
               [this](const RunValue& v) { return Resolve(v); });
  return mismatch.empty() ? "" : "RAW_MSD_DATA: " + mismatch;
}

// The reason of an expect step once what it waits for has come ("" when it
// passes); nothing while it still waits.
std::optional<std::string> ConformanceRunner::ExpectOutcome(const RunStep& step) {
  switch (step.kind) {
    case StepKind::kExpectIdentity:
      if (facts_->identities.empty()) return std::nullopt;
      return CheckIdentity(step);
    case StepKind::kExpectVehicle:
      if (facts_->vehicles.empty()) return std::nullopt;
      return CheckVehicle(step);
    case StepKind::kExpectMsd:
      if (facts_->msds.empty()) return std::nullopt;
      return CheckMsd(step);
    case StepKind::kExpectTrack:
      if (facts_->trackPoints < std::max<uint32_t>(step.atLeast, 1)) return std::nullopt;
      return std::string();
    case StepKind::kExpectAccel:
      if (facts_->accelSamples < std::max<uint32_t>(step.atLeast, 1)) return std::nullopt;
      return std::string();
    default:
      return std::nullopt;
  }
}

// Why an expect step failed when its time ran out.
std::string ConformanceRunner::ExpectTimedOut(const RunStep& step) const {
  const std::string limit = Seconds(active_->deadline - active_->started);
  switch (step.kind) {
    case StepKind::kExpectIdentity:
      return connection_ ? StringPrintf("authorization failed: no TERM_IDENTITY within %s s of "
                                        "connecting (EGTS_SL_NOT_AUTH_TO)",
                                        Seconds(active_->deadline - connectedAt_).c_str())
                         : "TCP not established within " + limit + " s";
    case StepKind::kExpectVehicle:
      return "authentication failed: no VEHICLE_DATA within " + limit + " s";
    case StepKind::kExpectMsd:
      return "MSD not received: no RAW_MSD_DATA within " + limit + " s";
    case StepKind::kExpectTrack:
      return StringPrintf("TRACK_DATA: %u points in %u records within %s s, expected at least %u",
                          facts_->trackPoints, facts_->trackRecords, limit.c_str(), step.atLeast);
    case StepKind::kExpectAccel:
      return StringPrintf("ACCEL_DATA: %u samples in %u records within %s s, expected at least %u",
                          facts_->accelSamples, facts_->accelRecords, limit.c_str(), step.atLeast);
    default:
      return "";
  }
}

void ConformanceRunner::EvaluateExpect(Millis now) {
  const RunStep& step = runs_[run_].steps[step_];
  switch (step.kind) {
    case StepKind::kExpectIdentity:
    case StepKind::kExpectVehicle:
    case StepKind::kExpectMsd:
    case StepKind::kExpectTrack:
    case StepKind::kExpectAccel:
      break;
    default:
      return;
  }
  if (const std::optional<std::string> reason = ExpectOutcome(step)) {
    End(reason->empty(), *reason, now);
  } else if (now >= active_->deadline) {
    End(false, ExpectTimedOut(step), now);
  }
}

std::string ConformanceRunner::CheckAnswer(const RunStep& step, Millis now, bool& answered) {
  answered = false;
  const std::string label = step.kind == StepKind::kSendCommand
                                ? std::string(EGTS::CommandCodeName(step.command)) == "unspecified"
                                      ? StringPrintf("command 0x%04X", step.command)
                                      : EGTS::CommandCodeName(step.command)
                                : step.parameter;
  const auto found = facts_->answers.find(active_->cid);
  if (found == facts_->answers.end() || found->second.cct == EGTS::EGTS_CC_INPROG) {
    if (now < active_->deadline) return "";
    answered = true;
    return StringPrintf("%s: no answer (CT_COMCONF with CID %u) within %s s", label.c_str(),
                        active_->cid, Seconds(active_->deadline - active_->started).c_str());
  }
  answered = true;
  const CommandAnswer& answer = found->second;
  const std::string cct = EGTS::ConfirmationTypeName(answer.cct);
  if (cct != step.answer) {
    return label + ": answered " + cct + ", expected " + step.answer;
  }
  if (step.kind != StepKind::kSendGet) return "";
  const EGTS::UnitParameter& parameter = *FindStepParameter(step.parameter);
  const std::string name = parameter.name;
  const auto decoded = EGTS::DecodeValue(parameter, answer.dt);
  if (!decoded) {
    return name + StringPrintf(": the value read (%zu bytes) is no %s", answer.dt.size(),
                               EGTS::ParameterTypeName(parameter.type));
  }
  const std::string read = EGTS::ValueText(*decoded);
  reports_.back().parameters[name] = EscapeControls(read);
  std::optional<RunValue> expected;
  if (const auto equal = step.equal.find("value"); equal != step.equal.end()) {
    expected = equal->second.isText && equal->second.text == "set"
                   ? (setValues_.count(name) ? std::optional(setValues_[name]) : std::nullopt)
                   : Resolve(equal->second);
    if (!expected) return name + ": nothing to compare the value read with";
  }
  if (!expected) return "";
  const auto wanted = AsParameterValue(parameter, *expected);
  if (!wanted || EGTS::ValueText(*wanted) != read) {
    return name + ": read back " + EscapeControls(read) + ", expected " + RunValueText(*expected);
  }
  return "";
}

void ConformanceRunner::EvaluateSend(Millis now) {
  const RunStep& step = runs_[run_].steps[step_];
  Active& a = *active_;
  if (!a.sent && a.waitingUnit) {
    // A step the run puts on SMS with PDUs needs no connection: the lab's
    // modem carries it and the answer is typed on the console.
    const bool bySms = step.sms && runs_[run_].smsPdus;
    const bool ready = bySms || (connection_ && (step.kind == StepKind::kSendResultCode ||
                                                 authorized_ || identified_));
    if (!ready) {
      if (now >= a.deadline) {
        End(false, connection_ ? "authorization failed: the unit did not authorize within " +
                                     Seconds(kConnectLimit) + " s"
                               : "TCP not established within " + Seconds(kConnectLimit) + " s",
            now);
      }
      return;
    }
    Ready(now);
    if (!active_) return;
  }
  if (!a.sent) {
    if ((step.kind == StepKind::kSendSet || step.kind == StepKind::kSendGet) && !a.checked) {
      a.checked = true;
      const EGTS::UnitParameter* parameter = FindStepParameter(step.parameter);
      if (parameter == nullptr) {
        End(false, "the parameter '" + step.parameter + "' is not in the parameter table", now);
        return;
      }
      if (step.kind == StepKind::kSendSet) {
        const auto value = Resolve(step.value);
        const auto typed = value ? AsParameterValue(*parameter, *value) : std::nullopt;
        const std::string wrong = typed ? EGTS::CheckValue(*parameter, *typed)
                                        : std::string(EGTS::ParameterTypeName(parameter->type)) +
                                              " expected";
        if (!wrong.empty()) {
          End(false, std::string(parameter->name) + ": the value " +
                         (value ? RunValueText(*value) : step.value.text) + " is refused: " + wrong,
              now);
          return;
        }
        pendingValue_ = EGTS::EncodeValue(*typed);
        setValues_[parameter->name] = *value;
      }
    }
    return;
  }
  const bool answerCame = facts_->answers.count(a.cid) != 0 &&
                          (step.kind == StepKind::kSendCommand || step.kind == StepKind::kSendSet ||
                           step.kind == StepKind::kSendGet);
  if (!a.transportConfirmed) {
    const auto result = facts_->packetResults.find(a.pid);
    if (result != facts_->packetResults.end()) {
      if (EGTS::IsError(result->second)) {
        End(false, StringPrintf("packet %u refused with result %u (%s)", a.pid, result->second,
                                ResultCodeText(result->second)),
            now);
        return;
      }
      a.transportConfirmed = true;
    } else if (answerCame) {
      a.transportConfirmed = true;  // the answer confirms the command too
    } else {
      if (now < a.sentAt + kResponseLimit || a.resendDue) return;
      if (a.sends <= kResendAttempts) {
        a.resendDue = true;
        return;
      }
      const std::string what =
          step.kind == StepKind::kSendUpload
              ? StringPrintf("upload failed: part %zu of %zu not answered: ", a.part + 1, a.parts)
              : std::string();
      End(false, what + StringPrintf("packet %u not confirmed within %s s, sent %d times "
                                     "(TL_RESPONSE_TO, TL_RESEND_ATTEMPTS %d)",
                                     a.pid, Seconds(kResponseLimit).c_str(), a.sends, kResendAttempts),
          now);
      return;
    }
  }
  switch (step.kind) {
    case StepKind::kSendResultCode: {
      const auto record = facts_->recordResults.find(a.rn);
      if (record != facts_->recordResults.end() && EGTS::IsError(record->second)) {
        End(false, StringPrintf("RESULT_CODE %u: its record refused with %u (%s)", step.code,
                                record->second, ResultCodeText(record->second)),
            now);
        return;
      }
      authorized_ = step.code == 0;
      End(true, "", now);
      return;
    }
    case StepKind::kSendUpload: {
      const auto record = facts_->recordResults.find(a.rn);
      const bool last = a.part + 1 == a.parts;
      if (record == facts_->recordResults.end()) {
        if (now < a.sentAt + (step.within >= 0 ? step.within : kAnswerLimit)) return;
        End(false, StringPrintf("upload failed: part %zu of %zu not answered (no RECORD_RESPONSE)",
                                a.part + 1, a.parts),
            now);
        return;
      }
      const uint8_t rst = record->second;
      const bool fine = last ? rst == EGTS::EGTS_PC_OK
                             : rst == EGTS::EGTS_PC_OK || rst == EGTS::EGTS_PC_IN_PROGRESS;
      if (!fine) {
        End(false, StringPrintf("upload failed: part %zu of %zu answered %u (%s), expected %u (%s)",
                                a.part + 1, a.parts, rst, ResultCodeText(rst),
                                last ? 0u : 1u, ResultCodeText(last ? 0 : 1)),
            now);
        return;
      }
      if (last) {
        End(true, "", now);
        return;
      }
      ++a.part;
      a.needsSend = true;
      a.sent = false;
      return;
    }
    default: {
      bool answered = false;
      const std::string reason = CheckAnswer(step, now, answered);
      if (answered) End(reason.empty(), reason, now);
      return;
    }
  }
}

void ConformanceRunner::End(bool passed, const std::string& reason, Millis now) {
  const RunStep& step = runs_[run_].steps[step_];
  StepResult result;
  result.run = runs_[run_].name;
  result.step = step.name;
  result.index = step_ + 1;
  result.passed = passed;
  result.reason = reason;
  result.note = active_ ? active_->note : "";
  result.started = (active_ ? active_->started : now) - start_;
  result.ended = now - start_;
  reports_.back().steps.push_back(result);
  ended_.push_back(result);
  active_.reset();
  ++step_;
  if (!passed && step.closeOnFail) {
    // The procedure closes TCP on a failure; the connection counts no more.
    if (connection_) toClose_.push_back(*connection_);
    connection_.reset();
    authorized_ = false;
    SkipRest("an earlier step failed and the connection was closed", now);
    return;
  }
  if (step_ >= runs_[run_].steps.size()) FinishRun(now);
}

void ConformanceRunner::SkipRest(const std::string& reason, Millis now) {
  for (; step_ < runs_[run_].steps.size(); ++step_) {
    StepResult result;
    result.run = runs_[run_].name;
    result.step = runs_[run_].steps[step_].name;
    result.index = step_ + 1;
    result.skipped = true;
    result.reason = reason;
    result.started = result.ended = now - start_;
    reports_.back().steps.push_back(result);
  }
  FinishRun(now);
}

void ConformanceRunner::FinishRun(Millis now) {
  RunReport& report = reports_.back();
  report.ended = now - start_;
  // Steps not run count neither way, but a run passes only with a step
  // that passed and none that failed.
  report.passed =
      std::none_of(report.steps.begin(), report.steps.end(),
                   [](const StepResult& s) { return !s.passed && !s.skipped; }) &&
      std::any_of(report.steps.begin(), report.steps.end(), [](const StepResult& s) { return s.passed; });
  ++run_;
  runStarted_ = false;
}

}  // namespace session
