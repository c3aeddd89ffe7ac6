// The server's connection limits, made short: the real work thread on
// 127.0.0.1 with real sockets. Four connections that send nothing whole
// (one of them a byte at a time) hold every slot; a fifth terminal that
// knocks gets the slot of the one quiet longest, and with -r the others
// are closed once they have not authorized in time.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "server/nwork_thread.h"
#include "support/packet_builder.h"
#include "support/terminal.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Bytes;
using testing_support::Terminal;

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(ConnectionLimits, QuietConnectionsMakeRoomAndUnauthorizedOnesAreClosed) {
  std::unique_ptr<platform::Event> stopAll =
      std::move(*platform::Event::Create(platform::Event::Kind::kManualReset));
  ServerLimits limits;
  limits.idle = 300ms;
  limits.notAuthorized = 1500ms;
  const uint16_t port = testing_support::FreePort();
  testing::internal::CaptureStdout();
  auto server = std::make_unique<NWorkThread>(nullptr, nullptr, nullptr, "127.0.0.1", port,
                                              stopAll.get(),
                                              PacketRoad{{}, TalkOptions{true, 0}, nullptr}, limits);
  ASSERT_EQ(StartWorkThread(*server), 1);

  // The first one sends a byte every 20 ms and never completes a packet.
  Terminal trickling(port);
  const Bytes identity = testing_support::IdentityPacket(1, 1);
  std::atomic<bool> goOn{true};
  std::thread trickle([&] {
    for (size_t i = 0; i + 1 < identity.size() && goOn.load(); ++i) {
      if (!trickling.Send({identity[i]})) return;  // closed to make room
      std::this_thread::sleep_for(20ms);
    }
  });
  std::vector<std::unique_ptr<Terminal>> silent;
  for (int i = 0; i < 3; ++i) silent.push_back(std::make_unique<Terminal>(port));
  std::this_thread::sleep_for(500ms);  // every one of them quiet for longer than the limit

  Terminal knocking(port);
  ASSERT_TRUE(knocking.Send(identity));
  knocking.ReadPacket();  // its confirmation
  const Bytes answer = knocking.ReadPacket();
  goOn = false;
  trickle.join();
  EXPECT_TRUE(trickling.WaitUntilClosed());
  for (const auto& terminal : silent) EXPECT_TRUE(terminal->WaitUntilClosed());
  // As Shutdown's settle pause: the clients that ended are reaped before
  // the stop, which would otherwise find them waiting for the registry.
  std::this_thread::sleep_for(200ms);
  server->Stop(1000);
  server.reset();
  const std::string output = testing::internal::GetCapturedStdout();

  EXPECT_GT(answer.size(), 11u) << output;
  EXPECT_EQ(Count(output, "Main:  WARNING: Connection 000001 closed to make room: no complete "
                          "packet for "),
            1u)
      << output;
  EXPECT_EQ(Count(output, "Main:  INFO: Connection closed 000001\n"), 1u);
  EXPECT_EQ(Count(output, "Too many connections"), 0u);
  EXPECT_EQ(Count(output, "Main:  INFO: New Client Object created 000005\n"), 1u);
  for (const char* id : {"000002", "000003", "000004"}) {
    EXPECT_EQ(Count(output, std::string(id) +
                                " WARNING: No authorization within 1500 ms of connecting\n"),
              1u)
        << id;
    EXPECT_EQ(Count(output, std::string(id) + " INFO: Connection closed: no authorization within "
                                              "1500 ms (EGTS_SL_NOT_AUTH_TO)\n"),
              1u)
        << id;
  }
  // The terminal that authorized stays until the end.
  EXPECT_EQ(Count(output, "000005 INFO: Connection closed"), 0u);
  EXPECT_EQ(Count(output, "000005 INFO: Stop signal received\n"), 1u);
}

}  // namespace
