#include "session/conformance_run.h"

#include <cmath>

#include <nlohmann/json.hpp>

#include "util/text.h"

namespace session {

namespace {

using Json = nlohmann::json;

struct KindName {
  const char* word;   // "expect" or "send"
  const char* name;
  StepKind kind;
};

constexpr KindName kKinds[] = {
    {"expect", "TERM_IDENTITY", StepKind::kExpectIdentity},
    {"expect", "VEHICLE_DATA", StepKind::kExpectVehicle},
    {"expect", "TRACK_DATA", StepKind::kExpectTrack},
    {"expect", "ACCEL_DATA", StepKind::kExpectAccel},
    {"expect", "RAW_MSD_DATA", StepKind::kExpectMsd},
    {"send", "RESULT_CODE", StepKind::kSendResultCode},
    {"send", "COMMAND", StepKind::kSendCommand},
    {"send", "SET", StepKind::kSendSet},
    {"send", "GET", StepKind::kSendGet},
    {"send", "UPLOAD", StepKind::kSendUpload},
};

struct NamedCommand {
  const char* name;
  uint16_t code;
};

// The commands a run may name (ACT 0 or 1); parameters go by SET and GET.
constexpr NamedCommand kCommands[] = {
    {"EGTS_RAW_DATA", 0x0000},           {"EGTS_TEST_MODE", 0x0001},
    {"EGTS_TEST_GET_ERRORS", 0x0004},    {"EGTS_TEST_CLEAR_ERRORS", 0x0005},
    {"EGTS_CONFIG_RESET", 0x0006},       {"EGTS_SET_AUTH_CODE", 0x0007},
    {"EGTS_RESTART", 0x0008},            {"EGTS_ECALL_REQ", 0x0112},
    {"EGTS_ECALL_MSD_REQ", 0x0113},      {"EGTS_ACCEL_DATA", 0x0114},
    {"EGTS_TRACK_DATA", 0x0115},         {"EGTS_ECALL_DEREGISTRATION", 0x0116},
};

class Failure {
 public:
  explicit Failure(std::string text) : text_(std::move(text)) {}
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

RunValue ValueOf(const Json& json, const std::string& where) {
  RunValue value;
  if (json.is_number()) {
    value.number = json.get<double>();
  } else if (json.is_boolean()) {
    value.number = json.get<bool>() ? 1 : 0;
  } else if (json.is_string()) {
    value.text = json.get<std::string>();
    value.isText = true;
  } else {
    throw Failure(where + " is neither a number, a boolean nor a text");
  }
  return value;
}

uint32_t Unsigned(const Json& step, const char* key, uint32_t fallback, uint32_t most,
                  const std::string& where) {
  if (!step.contains(key)) return fallback;
  const Json& value = step[key];
  if (!value.is_number_unsigned() || value.get<uint64_t>() > most) {
    throw Failure(where + "." + key + " is not a whole number from 0 to " + std::to_string(most));
  }
  return static_cast<uint32_t>(value.get<uint64_t>());
}

std::string Text(const Json& step, const char* key, const std::string& where, bool required) {
  if (!step.contains(key)) {
    if (required) throw Failure(where + "." + key + " is missing");
    return "";
  }
  if (!step[key].is_string()) throw Failure(where + "." + key + " is not a text");
  return step[key].get<std::string>();
}

std::vector<uint8_t> HexBytes(const std::string& hex, const std::string& where) {
  std::vector<uint8_t> bytes;
  if (hex.size() % 2 != 0) throw Failure(where + ".data has an odd number of hex digits");
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const std::string pair = hex.substr(i, 2);
    if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      throw Failure(where + ".data is not hexadecimal");
    }
    bytes.push_back(static_cast<uint8_t>(std::stoul(pair, nullptr, 16)));
  }
  return bytes;
}

void ReadKind(const Json& step, RunStep& out, const std::string& where) {
  const bool expects = step.contains("expect");
  const bool sends = step.contains("send");
  if (expects == sends) throw Failure(where + " needs exactly one of \"expect\" and \"send\"");
  const char* word = expects ? "expect" : "send";
  const std::string name = Text(step, word, where, true);
  for (const KindName& kind : kKinds) {
    if (word == std::string(kind.word) && name == kind.name) {
      out.kind = kind.kind;
      return;
    }
  }
  throw Failure(where + "." + word + " '" + name + "' is not known");
}

void ReadSendFields(const Json& step, RunStep& out, const std::string& where) {
  switch (out.kind) {
    case StepKind::kSendResultCode:
      out.code = static_cast<uint8_t>(Unsigned(step, "code", 0, 255, where));
      break;
    case StepKind::kSendCommand: {
      const std::string name = Text(step, "command", where, true);
      const auto code = RunCommandCode(name);
      if (!code) throw Failure(where + ".command '" + name + "' is not known");
      out.command = *code;
      out.act = static_cast<uint8_t>(Unsigned(step, "act", 0, 4, where));
      out.data = HexBytes(Text(step, "data", where, false), where);
      break;
    }
    case StepKind::kSendSet:
      out.parameter = Text(step, "parameter", where, true);
      if (!step.contains("value")) throw Failure(where + ".value is missing");
      out.value = ValueOf(step["value"], where + ".value");
      break;
    case StepKind::kSendGet:
      out.parameter = Text(step, "parameter", where, true);
      break;
    case StepKind::kSendUpload: {
      out.file = Text(step, "file", where, true);
      const std::string object = Text(step, "object", where, false);
      if (!object.empty() && object != "firmware" && object != "config") {
        throw Failure(where + ".object is neither \"firmware\" nor \"config\"");
      }
      out.configuration = object == "config";
      out.module = static_cast<uint8_t>(Unsigned(step, "module", 1, 3, where));
      out.component = static_cast<uint8_t>(Unsigned(step, "component", 0, 255, where));
      out.version = static_cast<uint16_t>(Unsigned(step, "version", 0x0100, 0xFFFF, where));
      out.partSize = Unsigned(step, "part_size", 0, 65000, where);
      out.firstPart = static_cast<uint16_t>(Unsigned(step, "first_part", 1, 1, where));
      break;
    }
    default:
      break;
  }
}

RunStep ReadStep(const Json& step, std::size_t index) {
  const std::string where = "steps[" + std::to_string(index) + "]";
  if (!step.is_object()) throw Failure(where + " is not an object");
  RunStep out;
  out.name = Text(step, "name", where, true);
  ReadKind(step, out, where);
  if (step.contains("within_s")) {
    if (!step["within_s"].is_number() || step["within_s"].get<double>() <= 0) {
      throw Failure(where + ".within_s is not a positive number of seconds");
    }
    out.within = static_cast<Millis>(std::llround(step["within_s"].get<double>() * 1000));
  }
  if (step.contains("after_s")) {
    if (!step["after_s"].is_number() || step["after_s"].get<double>() < 0 ||
        step["after_s"].get<double>() > 3600) {
      throw Failure(where + ".after_s is not a number of seconds from 0 to 3600");
    }
    out.after = static_cast<Millis>(std::llround(step["after_s"].get<double>() * 1000));
  }
  const std::string onFail = Text(step, "on_fail", where, false);
  if (!onFail.empty() && onFail != "close" && onFail != "continue") {
    throw Failure(where + ".on_fail is neither \"close\" nor \"continue\"");
  }
  out.closeOnFail = onFail != "continue";
  if (step.contains("sms") && !step["sms"].is_boolean()) throw Failure(where + ".sms is not a boolean");
  out.sms = step.value("sms", false);
  if (step.contains("equal")) {
    if (!step["equal"].is_object()) throw Failure(where + ".equal is not an object");
    for (const auto& [key, value] : step["equal"].items()) {
      out.equal[key] = ValueOf(value, where + ".equal." + key);
    }
  }
  out.atLeast = Unsigned(step, "at_least", 0, 0xFFFFFFFF, where);
  if (step.contains("answer")) out.answer = Text(step, "answer", where, true);
  ReadSendFields(step, out, where);
  return out;
}

RunDefinition ReadRun(const Json& run) {
  if (!run.is_object()) throw Failure("the run is not a JSON object");
  RunDefinition out;
  out.name = Text(run, "name", "run", true);
  out.description = Text(run, "description", "run", false);
  const std::string sms = Text(run, "sms", "run", false);
  if (!sms.empty() && sms != "tcp" && sms != "pdu") {
    throw Failure("run.sms is neither \"tcp\" nor \"pdu\"");
  }
  out.smsPdus = sms == "pdu";
  out.smsNumber = Text(run, "sms_number", "run", out.smsPdus);
  if (run.contains("values")) {
    if (!run["values"].is_object()) throw Failure("run.values is not an object");
    for (const auto& [key, value] : run["values"].items()) {
      out.values[key] = ValueOf(value, "run.values." + key);
    }
  }
  if (!run.contains("steps") || !run["steps"].is_array() || run["steps"].empty()) {
    throw Failure("run.steps is missing or empty");
  }
  for (std::size_t i = 0; i < run["steps"].size(); ++i) {
    out.steps.push_back(ReadStep(run["steps"][i], i));
  }
  return out;
}

}  // namespace

std::optional<RunDefinition> ParseRun(const std::string& json, std::string& error) {
  const Json parsed = Json::parse(json, nullptr, false);
  if (parsed.is_discarded()) {
    error = "the file is not JSON";
    return std::nullopt;
  }
  try {
    return ReadRun(parsed);
  } catch (const Failure& failure) {
    error = failure.Text();
  } catch (const Json::exception& exception) {
    error = exception.what();
  }
  return std::nullopt;
}

std::optional<uint16_t> RunCommandCode(const std::string& name) {
  for (const NamedCommand& command : kCommands) {
    if (name == command.name) return command.code;
  }
  uint32_t number = 0;
  if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
      name.size() <= 5 && (number = static_cast<uint32_t>(std::stoul(name))) <= 0xFFFF) {
    return static_cast<uint16_t>(number);
  }
  return std::nullopt;
}

std::string RunValueText(const RunValue& value) {
  if (value.isText) return value.text;
  if (!value.number) return "";
  const double number = *value.number;
  if (number == std::floor(number) && std::fabs(number) < 1e15) {
    return std::to_string(static_cast<long long>(number));
  }
  return StringPrintf("%g", number);
}

}  // namespace session
