// Control events (signals) sent to the running korvane binary.

#include <gtest/gtest.h>

#include <csignal>

#include "support/korvane_process.h"
#include "support/log_text.h"

namespace {

using testing_support::KorvaneProcess;

TEST(ControlEventsEndToEnd, CtrlCInSinglePacketModeKeepsWaitingForTheKey) {
  KorvaneProcess korvane({});
  ASSERT_TRUE(korvane.WaitForOutput("Press any key to exit...\n"));
  korvane.Signal(SIGINT);
  ASSERT_TRUE(korvane.WaitForOutput("CTRL+C received!\n"));
  const std::string output = korvane.Output();
  const size_t source = output.find("  Main:  INFO: ");
  ASSERT_NE(source, std::string::npos) << output;
  ASSERT_GE(source, testing_support::kTimeStampLength);
  EXPECT_TRUE(testing_support::IsTimeStamp(
      output.substr(source - testing_support::kTimeStampLength, testing_support::kTimeStampLength)));
  EXPECT_EQ(output.substr(source), "  Main:  INFO: CTRL+C received!\n");
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
