#include "app/verdict_report.h"

#include <nlohmann/json.hpp>

#include "util/text.h"

namespace {

std::string SecondsText(session::Millis ms) {
  return StringPrintf("%.3f", static_cast<double>(ms) / 1000);
}

std::string MapText(const std::map<std::string, std::string>& values) {
  std::string text;
  for (const auto& [key, value] : values) {
    text += (text.empty() ? "" : "  ") + key + " " + EscapeControls(value);
  }
  return text;
}

const char* Outcome(const session::StepResult& step) {
  return step.passed ? "passed" : step.skipped ? "not run" : "FAILED";
}

}  // namespace

std::string VerdictText(const VerdictSetup& setup, const std::vector<session::RunReport>& runs) {
  std::size_t passed = 0;
  std::string text = "\nConformance verdict\n";
  text += "  Platform      - " + setup.listen + "\n";
  text += "  Unit profile  - " + setup.profile + "\n";
  if (!setup.expected.empty()) text += "  Expected      - " + MapText(setup.expected) + "\n";
  for (const session::RunReport& run : runs) {
    passed += run.passed ? 1 : 0;
    text += StringPrintf("\nRun '%s': %s in %s s", run.name.c_str(), run.passed ? "PASSED" : "FAILED",
                         SecondsText(run.ended - run.started).c_str());
    text += run.path.empty() ? "\n" : " (" + run.path + ")\n";
    if (!run.identity.empty()) text += "  Unit          - " + MapText(run.identity) + "\n";
    if (!run.parameters.empty()) text += "  Parameters    - " + MapText(run.parameters) + "\n";
    for (const session::StepResult& step : run.steps) {
      text += StringPrintf("  %2zu %-24s %-8s %9s s", step.index, step.step.c_str(), Outcome(step),
                           SecondsText(step.ended - step.started).c_str());
      if (!step.reason.empty()) text += "  " + step.reason;
      if (!step.note.empty()) text += "  (" + step.note + ")";
      text += "\n";
    }
  }
  text += StringPrintf("\n%zu of %zu runs passed\n", passed, runs.size());
  return text;
}

std::string VerdictJson(const VerdictSetup& setup, const std::vector<session::RunReport>& runs) {
  nlohmann::ordered_json document;
  document["platform"] = setup.listen;
  document["unit_profile"] = setup.profile;
  document["expected"] = setup.expected;
  document["passed"] = true;
  document["runs"] = nlohmann::ordered_json::array();
  for (const session::RunReport& run : runs) {
    nlohmann::ordered_json r;
    r["name"] = run.name;
    r["file"] = run.path;
    r["description"] = run.description;
    r["passed"] = run.passed;
    r["started_ms"] = run.started;
    r["ended_ms"] = run.ended;
    r["unit"] = run.identity;
    r["parameters"] = run.parameters;
    r["steps"] = nlohmann::ordered_json::array();
    for (const session::StepResult& step : run.steps) {
      nlohmann::ordered_json s;
      s["index"] = step.index;
      s["step"] = step.step;
      s["result"] = step.passed ? "passed" : step.skipped ? "not run" : "failed";
      if (!step.reason.empty()) s["reason"] = step.reason;
      if (!step.note.empty()) s["note"] = step.note;
      s["started_ms"] = step.started;
      s["ended_ms"] = step.ended;
      r["steps"].push_back(std::move(s));
    }
    document["passed"] = document["passed"].get<bool>() && run.passed;
    document["runs"].push_back(std::move(r));
  }
  return document.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}
