#pragma once
// A conformance run as data: a named list of steps that either send
// something to the unit (and wait for its answer) or expect something from
// it within a time. Read from JSON (schema/run.schema.json); values may
// name the unit profile ("unit.imei") or the run's own values
// ("run.unit_id") instead of giving a literal.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "session/confirmation_tracker.h"

namespace session {

// The standard's timers for what the platform sends and waits for.
constexpr Millis kNotAuthorizedLimit = 6000;   // EGTS_SL_NOT_AUTH_TO
constexpr Millis kResponseLimit = 5000;        // TL_RESPONSE_TO
constexpr int kResendAttempts = 3;             // TL_RESEND_ATTEMPTS
constexpr Millis kConnectLimit = 30000;        // the unit opens TCP within 30 s
constexpr Millis kAnswerLimit = 30000;         // default wait for a command's answer

enum class StepKind {
  kExpectIdentity,    // TERM_IDENTITY
  kExpectVehicle,     // VEHICLE_DATA
  kExpectTrack,       // TRACK_DATA points
  kExpectAccel,       // ACCEL_DATA samples
  kExpectMsd,         // RAW_MSD_DATA, decoded and checked
  kSendResultCode,    // RESULT_CODE with a code
  kSendCommand,       // CT_COM with a command code and data
  kSendSet,           // CT_COM ACT 2: set a parameter
  kSendGet,           // CT_COM ACT 1: read a parameter
  kSendUpload,        // SERVICE_PART_DATA parts of a file
};

// A value a step compares with: a number or a text, or a reference
// ("unit.<key>", "run.<key>", "set": the value the run set last for the
// same parameter) resolved when the step runs.
struct RunValue {
  std::optional<double> number;
  std::string text;
  bool isText = false;
};

struct RunStep {
  std::string name;
  StepKind kind = StepKind::kExpectIdentity;
  Millis within = -1;          // -1: the kind's default
  Millis after = 0;            // "after_s": a pause before the step starts
  bool closeOnFail = true;     // "on_fail": "close" (default) or "continue"
  bool sms = false;            // the standard sends it by SMS only
  std::map<std::string, RunValue> equal;  // field name -> value
  uint32_t atLeast = 0;        // points or samples
  uint8_t code = 0;            // RESULT_CODE
  uint16_t command = 0;        // CCD of a command
  uint8_t act = 0;             // ACT of a command
  std::vector<uint8_t> data;   // DT of a command
  std::string parameter;       // SET / GET: the parameter's name
  RunValue value;              // SET: the value
  std::string file;            // UPLOAD: the object's file (relative to the run)
  bool configuration = false;  // UPLOAD: configuration block, not firmware
  uint8_t module = 1;          // UPLOAD: MT (1 the unit itself, 0 a peripheral)
  uint8_t component = 0;       // UPLOAD: CMI
  uint16_t version = 0x0100;   // UPLOAD: VER
  uint32_t partSize = 0;       // UPLOAD: bytes of object data a part; 0: from BS
  uint16_t firstPart = 1;      // UPLOAD: 0 for units that count parts from 0
  std::string answer = "EGTS_CC_OK";  // the confirmation type a command expects
};

struct RunDefinition {
  std::string name;
  std::string description;
  std::string path;  // the file it came from
  bool smsPdus = false;       // "sms": "pdu": print SMS-SUBMIT PDUs of SMS-only steps
  std::string smsNumber;      // the unit's number for those PDUs
  std::map<std::string, RunValue> values;  // "run.<key>"
  std::vector<RunStep> steps;
};

// Reads a run from its JSON text. Nothing with `error` naming the key
// when the text is not a run.
std::optional<RunDefinition> ParseRun(const std::string& json, std::string& error);

// The command code of a name the runs use (EGTS_TEST_MODE, EGTS_TRACK_DATA
// ...), or of a number; nothing when unknown.
std::optional<uint16_t> RunCommandCode(const std::string& name);

// A value as a report shows it.
std::string RunValueText(const RunValue& value);

}  // namespace session
