// Control events (signals) sent to the running korvane binary.

#include <gtest/gtest.h>

#include <csignal>
#include <regex>

#include "support/korvane_process.h"

namespace {

using testing_support::KorvaneProcess;

const std::regex kLogPrefix(R"(\d\d\.\d\d\.\d{4} \d\d:\d\d:\d\d\.\d{3}  Main:  INFO: )");

TEST(ControlEventsEndToEnd, CtrlCInSinglePacketModeKeepsWaitingForTheKey) {
  KorvaneProcess korvane({});
  ASSERT_TRUE(korvane.WaitForOutput("Press any key to exit...\n"));
  korvane.Signal(SIGINT);
  ASSERT_TRUE(korvane.WaitForOutput("CTRL+C received!\n"));
  std::smatch match;
  const std::string output = korvane.Output();
  ASSERT_TRUE(std::regex_search(output, match, kLogPrefix));
  EXPECT_EQ(output.substr(static_cast<size_t>(match.position() + match.length())),
            "CTRL+C received!\n");
  // Still waiting: only the key ends it.
  korvane.Write("k");
  EXPECT_EQ(korvane.WaitForExit(), 0);
}

TEST(ControlEventsEndToEnd, ClosedConsoleEndsServerModeWithExitCodeZero) {
  KorvaneProcess korvane({"-b:127.0.0.1:0"});
  ASSERT_TRUE(korvane.WaitForOutput("Please type 'quit' to exit...\n"));
  korvane.Signal(SIGHUP);
  EXPECT_EQ(korvane.WaitForExit(), 0);
  EXPECT_NE(korvane.Output().find("Main:  INFO: Program being closed!\n"), std::string::npos);
}

TEST(ControlEventsEndToEnd, CtrlBreakEndsTheOperatorConsole) {
  KorvaneProcess korvane({"-b:127.0.0.1:0"});
  ASSERT_TRUE(korvane.WaitForOutput("Please type 'quit' to exit...\n"));
  korvane.Signal(SIGQUIT);
  // Shutdown closes the console input, so the console ends by itself.
  EXPECT_EQ(korvane.WaitForExit(), 0);
  EXPECT_NE(korvane.Output().find("Main:  INFO: CTRL+BREAK received!\n"), std::string::npos);
}

}  // namespace
