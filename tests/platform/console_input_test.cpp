#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/console_input.h"
#include "platform/pipe.h"

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kLineLimit = 126;  // the operator console's limit

std::unique_ptr<platform::Pipe> MakePipe() {
  auto pipe = platform::Pipe::Create();
  EXPECT_TRUE(pipe.ok());
  return std::move(*pipe);
}

TEST(ConsoleInput, ReadsLinesLikeFgets) {
  auto pipe = MakePipe();
  platform::ConsoleInput input(pipe->ReadDescriptor());
  const std::string longLine(130, 'x');
  pipe->Write("quit\n" + longLine + "\nlast");
  pipe->CloseWriteEnd();

  EXPECT_EQ(input.ReadLine(kLineLimit), "quit\n");
  EXPECT_EQ(input.ReadLine(kLineLimit), std::string(125, 'x'));
  EXPECT_EQ(input.ReadLine(kLineLimit), "xxxxx\n");
  EXPECT_EQ(input.ReadLine(kLineLimit), "last");
  EXPECT_EQ(input.ReadLine(kLineLimit), std::nullopt);
  EXPECT_EQ(input.ReadLine(kLineLimit), std::nullopt);
}

TEST(ConsoleInput, ALineOfExactlyTheLimitLeavesItsLineFeedForTheNextRead) {
  auto pipe = MakePipe();
  platform::ConsoleInput input(pipe->ReadDescriptor());
  pipe->Write(std::string(125, 'y') + "\n");
  EXPECT_EQ(input.ReadLine(kLineLimit), std::string(125, 'y'));
  EXPECT_EQ(input.ReadLine(kLineLimit), "\n");
}

TEST(ConsoleInput, CloseEndsABlockedReadAndEveryLaterOne) {
  auto pipe = MakePipe();
  platform::ConsoleInput input(pipe->ReadDescriptor());
  std::optional<std::string> line = "not read yet";
  std::thread reader([&] { line = input.ReadLine(kLineLimit); });
  std::this_thread::sleep_for(30ms);
  input.Close();
  reader.join();
  EXPECT_EQ(line, std::nullopt);

  pipe->Write("command EGTS_ECALL_REQ 112 1 1\n");
  EXPECT_EQ(input.ReadLine(kLineLimit), std::nullopt) << "input once closed stays closed";
  input.Close();  // a second close does no harm
}

}  // namespace
