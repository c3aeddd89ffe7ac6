#include "support/run_korvane.h"

#include "support/korvane_process.h"

namespace testing_support {

RunResult RunKorvaneBinary(const std::vector<std::string>& args, const std::string& input) {
  KorvaneProcess process(args);
  process.Write(input);
  process.CloseInput();
  RunResult result;
  result.exitCode = process.WaitForExit();
  result.output = process.Output();
  result.errors = process.Errors();
  return result;
}

std::string BannerText() { return "Korvane v.1.0\n" + std::string(84, '-') + "\n"; }

}  // namespace testing_support
