// The operator console, line by line, with a destination that records what
// reaches it.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/operator_console.h"
#include "support/packet_builder.h"

namespace {

using testing_support::Bytes;
using testing_support::ToBytes;

class RecordingDestination : public CommandDestination {
 public:
  QueueOutcome readiness = QueueOutcome::kQueued;
  QueueOutcome queueOutcome = QueueOutcome::kQueued;
  std::vector<EGTS::Subrecord_COMMAND_DATA> queued;

  QueueOutcome Readiness() override { return readiness; }
  QueueOutcome Queue(const EGTS::Subrecord_COMMAND_DATA& command) override {
    queued.push_back(command);
    return queueOutcome;
  }
};

struct Handled {
  bool goOn;
  std::string output;
};

Handled Handle(const std::string& line, RecordingDestination& destination) {
  testing::internal::CaptureStdout();
  const bool goOn = HandleConsoleLine(line, destination);
  return {goOn, testing::internal::GetCapturedStdout()};
}

const char* const kInvalidType = "\nInvalid command type. Please, type 'command' first.\n";
const char* const kIncorrect = "\nERROR: incorrect parameter.\n";

TEST(OperatorConsole, UnknownWordListsEveryCommandInTableOrder) {
  RecordingDestination destination;
  EXPECT_EQ(Handle("command\n", destination).output,
            "\nERROR: Unspecified command ''\n"
            "The following commands are supported:\n"
            " 'EGTS_ECALL_REQ <tel_num> <devid> <type:[0,1]>'\n"
            " 'EGTS_ECALL_MSD_REQ <tel_num> <devid> <msgid> <transp:[0,1,2,3,]>'\n"
            " 'EGTS_UNIT_ID <tel_num> <devid> <auth code>'\n"
            " 'EGTS_SIM_PIN <tel_num> <devid> <pin code>'\n"
            " 'EGTS_SELFTEST_INTERVAL <tel_num> <devid> <interval>'\n"
            " 'EGTS_RADIO_MUTE_DELAY <tel_num> <devid> <delay>'\n"
            " 'EGTS_RADIO_UNMUTE_DELAY <tel_num> <devid> <delay>'\n");
  EXPECT_EQ(Handle("command EGTS_BOGUS 1 2 3\n", destination).output,
            UnknownCommandText("EGTS_BOGUS"));
  EXPECT_EQ(Handle("command", destination).output, UnknownCommandText(""));
  EXPECT_TRUE(destination.queued.empty());
}

TEST(OperatorConsole, LineErrors) {
  RecordingDestination destination;
  EXPECT_EQ(Handle("command  EGTS_ECALL_REQ 112 1 1\n", destination).output,
            "\nERROR: Input error\n");
  EXPECT_EQ(Handle("command EGTS_ECALL_REQ +7912 1 1\n", destination).output, kIncorrect);
  EXPECT_EQ(Handle("command EGTS_ECALL_REQ 112 1\n", destination).output, kIncorrect);
  EXPECT_EQ(Handle("command EGTS_ECALL_MSD_REQ 112 1 7\n", destination).output, kIncorrect);
  EXPECT_EQ(Handle("command EGTS_UNIT_ID 112 1\n", destination).output, kIncorrect);
  EXPECT_EQ(Handle("QUIT\n", destination).output, kInvalidType);
  EXPECT_EQ(Handle("hello\n", destination).output, kInvalidType);
  EXPECT_TRUE(destination.queued.empty());
}

TEST(OperatorConsole, QuitByPrefixEndsTheConsole) {
  RecordingDestination destination;
  EXPECT_FALSE(Handle("quit\n", destination).goOn);
  EXPECT_FALSE(Handle("quitting", destination).goOn);
  EXPECT_TRUE(Handle("QUIT\n", destination).goOn);
}

TEST(OperatorConsole, SeparatorIsNotCheckedAndWordsMatchByPrefix) {
  RecordingDestination destination;
  Handled handled = Handle("commandXEGTS_SELFTEST_INTERVAL 123 1 2\n", destination);
  EXPECT_EQ(handled.output,
            "\nCommand 'EGTS_SELFTEST_INTERVAL' RCP_NUM='123' DEV_ID=1 INTERVAL=2\n\n");
  handled = Handle("command EGTS_ECALL_REQ2 112 1 7\n", destination);
  EXPECT_EQ(handled.output, "\nCommand 'EGTS_ECALL_REQ2' RCP_NUM='112' DEV_ID=1 PAR=7\n\n");
  ASSERT_EQ(destination.queued.size(), 2u);
  EXPECT_EQ(destination.queued[0].RCP_NUM, "123");
  EXPECT_EQ(destination.queued[0].DEV_ID, 1u);
  EXPECT_EQ(ToBytes(destination.queued[0].CD()),
            (Bytes{0x01, 0x00, 0x02, 0x08, 0x02, 0x02, 0, 0, 0}));
  // The help's [0,1] is not enforced: any value of the byte goes.
  EXPECT_EQ(ToBytes(destination.queued[1].CD()), (Bytes{0x01, 0x00, 0x00, 0x12, 0x01, 0x07}));
}

TEST(OperatorConsole, EchoLinesOfEachCommand) {
  RecordingDestination destination;
  const std::pair<const char*, const char*> cases[] = {
      {"command EGTS_ECALL_MSD_REQ 112 5 7 2\n",
       "\nCommand 'EGTS_ECALL_MSD_REQ' RCP_NUM='112' DEV_ID=5 MSG_ID=7 TRANSP=2\n\n"},
      {"command EGTS_UNIT_ID 112 77 secret\n",
       "\nCommand 'EGTS_UNIT_ID' RCP_NUM='112' DEV_ID=77\n\n"},
      {"command EGTS_SIM_PIN 112 5 1234\n",
       "\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=5 SIM_PIN=1234\n\n"},
      {"command EGTS_RADIO_MUTE_DELAY 112 5 9\n",
       "\nCommand 'EGTS_RADIO_MUTE_DELAY' RCP_NUM='112' DEV_ID=5 DELAY=9\n\n"},
      {"command EGTS_RADIO_UNMUTE_DELAY 112 5 9\n",
       "\nCommand 'EGTS_RADIO_UNMUTE_DELAY' RCP_NUM='112' DEV_ID=5 DELAY=9\n\n"},
  };
  for (const auto& [line, echo] : cases) EXPECT_EQ(Handle(line, destination).output, echo);
  ASSERT_EQ(destination.queued.size(), 5u);
  // The code is not echoed but travels in the command.
  EXPECT_EQ(std::string(destination.queued[1].AC().begin(), destination.queued[1].AC().end()),
            "secret");
  EXPECT_EQ(ToBytes(destination.queued[2].CD()),
            (Bytes{0x01, 0x00, 0x02, 0x05, 0x02, 0xD2, 0x04, 0, 0}));
}

TEST(OperatorConsole, RecipientNumbersLongerThan43DigitsAreRefused) {
  RecordingDestination destination;
  const std::string longest(43, '7');
  EXPECT_EQ(Handle("command EGTS_ECALL_REQ " + longest + " 1 1\n", destination).output,
            "\nCommand 'EGTS_ECALL_REQ' RCP_NUM='" + longest + "' DEV_ID=1 PAR=1\n\n");
  EXPECT_EQ(Handle("command EGTS_ECALL_REQ " + longest + "7 1 1\n", destination).output,
            kIncorrect);
  // A run longer than the field: never an overrun, and still refused.
  EXPECT_EQ(Handle("command EGTS_ECALL_REQ " + std::string(100, '1') + "\n", destination).output,
            kIncorrect);
  EXPECT_EQ(destination.queued.size(), 1u);
}

TEST(OperatorConsole, CommandsThatGoNowhereSaySo) {
  RecordingDestination destination;
  destination.readiness = QueueOutcome::kNotRunning;
  EXPECT_EQ(Handle("command EGTS_SIM_PIN 112 5 1\n", destination).output,
            "WARNING: Command was not queued: the work thread is not running\n");
  EXPECT_TRUE(destination.queued.empty());
  // Parameter errors are still reported first.
  EXPECT_EQ(Handle("command EGTS_SIM_PIN 112\n", destination).output, kIncorrect);

  destination.readiness = QueueOutcome::kQueued;
  destination.queueOutcome = QueueOutcome::kNoQueue;
  EXPECT_EQ(Handle("command EGTS_SIM_PIN 112 5 1\n", destination).output,
            "\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=5 SIM_PIN=1\n\n"
            "WARNING: Command was not queued: there is no command queue without an incoming "
            "directory (-n:)\n");
}

}  // namespace
