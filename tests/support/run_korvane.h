#pragma once
// Runs the built korvane binary with arguments and standard input given as
// text, and collects its standard output, standard error and exit code.

#include <string>
#include <vector>

namespace testing_support {

struct RunResult {
  int exitCode = -1;
  std::string output;
  std::string errors;
};

RunResult RunKorvaneBinary(const std::vector<std::string>& args, const std::string& input);

// The banner line and its rule.
std::string BannerText();

}  // namespace testing_support
