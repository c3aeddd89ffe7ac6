#include "support/json_lines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "support/scratch_directory.h"

namespace testing_support {

std::vector<nlohmann::json> ParseJsonLines(const std::string& output) {
  std::vector<nlohmann::json> lines;
  std::istringstream stream(output);
  std::size_t number = 0;
  for (std::string line; std::getline(stream, line);) {
    ++number;
    nlohmann::json value = nlohmann::json::parse(line, nullptr, false);
    if (value.is_discarded() || !value.is_object()) {
      ADD_FAILURE() << "line " << number << " is not a JSON object: " << line.substr(0, 200);
      continue;
    }
    lines.push_back(std::move(value));
  }
  if (!output.empty() && output.back() != '\n') ADD_FAILURE() << "the last line has no line end";
  return lines;
}

std::string SchemaFindings(const std::string& output) {
  ScratchDirectory scratch("korvane_schema");
  WriteFile(scratch / "out.jsonl", output);
  const std::string root = KORVANE_SOURCE_DIR;
  const std::string command = std::string(KORVANE_PYTHON) + " '" + root +
                              "/tests/json/validate_jsonl.py' '" + root +
                              "/schema/korvane.schema.json' '" + (scratch / "out.jsonl") + "' > '" +
                              (scratch / "verdict") + "' 2>&1";
  const int status = std::system(command.c_str());
  const std::string verdict = ReadFile(scratch / "verdict");
  // Its closing line proves that the validator itself ran.
  if (status == 0 && verdict.find(" line(s) valid") != std::string::npos) return {};
  return verdict.empty() ? "validator status " + std::to_string(status) : verdict;
}

std::vector<nlohmann::json> PacketsFrom(const std::vector<nlohmann::json>& lines,
                                        const std::string& source) {
  std::vector<nlohmann::json> packets;
  for (const nlohmann::json& line : lines) {
    if (line.value("type", "") == "packet" && line.value("source", "") == source) {
      packets.push_back(line);
    }
  }
  return packets;
}

}  // namespace testing_support
