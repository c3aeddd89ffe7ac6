#pragma once
// Checks of a -j run's standard output: every line parsed on its own, and
// the whole output validated against the repository's schema by
// tests/json/validate_jsonl.py.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace testing_support {

// One value per line; a line that is not a JSON object fails the calling
// test (and is left out).
std::vector<nlohmann::json> ParseJsonLines(const std::string& output);

// The validator's verdict: empty when it ran and accepted every line, else
// its message (or the exit status when it printed none).
std::string SchemaFindings(const std::string& output);

// The objects whose "type" is "packet" and whose "source" is `source`.
std::vector<nlohmann::json> PacketsFrom(const std::vector<nlohmann::json>& lines,
                                        const std::string& source);

}  // namespace testing_support
