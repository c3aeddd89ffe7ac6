#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "platform/connected_socket.h"
#include "platform/event.h"
#include "platform/listening_socket.h"
#include "platform/wait_set.h"

namespace {

using namespace std::chrono_literals;
using platform::ConnectedSocket;
using platform::ListeningSocket;
using platform::WaitStatus;

constexpr auto kPrompt = 5000ms;
const char* const kLoopback = "127.0.0.1";

std::unique_ptr<ListeningSocket> Listen() {
  auto listener = ListeningSocket::Open(kLoopback, 0, 10);
  EXPECT_TRUE(listener.ok()) << listener.error().message();
  return std::move(*listener);
}

uint16_t PortOf(const ListeningSocket& listener) {
  auto port = listener.Port();
  EXPECT_TRUE(port.ok());
  return *port;
}

// A terminal connected to the listener, and the server's end of it.
struct Connection {
  std::unique_ptr<ConnectedSocket> terminal;
  platform::AcceptedConnection server;
};

Connection Connect(ListeningSocket& listener) {
  Connection connection;
  auto terminal = ConnectedSocket::Connect(kLoopback, PortOf(listener));
  EXPECT_TRUE(terminal.ok()) << terminal.error().message();
  connection.terminal = std::move(*terminal);
  EXPECT_EQ(listener.Wait(kPrompt), WaitStatus::kSignalled);
  auto accepted = listener.Accept();
  EXPECT_TRUE(accepted.ok()) << accepted.error().message();
  connection.server = std::move(*accepted);
  return connection;
}

void SendText(ConnectedSocket& socket, const std::string& text) {
  auto sent = socket.Send(text.data(), text.size());
  ASSERT_TRUE(sent.ok());
  ASSERT_EQ(*sent, text.size());
}

TEST(ListeningSocket, AcceptReadinessIsAWaitableAndGivesThePeer) {
  auto listener = Listen();
  EXPECT_NE(PortOf(*listener), 0);
  EXPECT_EQ(listener->Wait(0ms), WaitStatus::kTimedOut);
  EXPECT_EQ(listener->Accept().error().value(), EAGAIN);

  auto stop = *platform::Event::Create(platform::Event::Kind::kManualReset);
  platform::WaitSet set;
  set.Add(*stop);
  set.Add(*listener);
  auto terminal = *ConnectedSocket::Connect(kLoopback, PortOf(*listener));
  const auto woken = set.Wait(kPrompt);
  ASSERT_EQ(woken.status, WaitStatus::kSignalled);
  EXPECT_EQ(woken.position, 1u);

  auto accepted = listener->Accept();
  ASSERT_TRUE(accepted.ok());
  EXPECT_EQ(accepted->peer.octets, (std::array<uint8_t, 4>{127, 0, 0, 1}));
  EXPECT_EQ(accepted->peer.port, *terminal->LocalPort());
  EXPECT_EQ(listener->Wait(0ms), WaitStatus::kTimedOut) << "one connection, one accept";
}

TEST(ListeningSocket, RefusesAPortInUseAndABadAddress) {
  auto first = Listen();
  auto second = ListeningSocket::Open(kLoopback, PortOf(*first), 10);
  ASSERT_FALSE(second.ok());
  EXPECT_EQ(second.error().value(), EADDRINUSE);
  EXPECT_EQ(ListeningSocket::Open("127.0.0.x", 0, 10).error().value(), EINVAL);
}

TEST(ConnectedSocket, ReadableWithBytesWaitingThenClosedByThePeer) {
  auto listener = Listen();
  Connection connection = Connect(*listener);
  ConnectedSocket& server = *connection.server.socket;
  EXPECT_EQ(server.Wait(0ms), WaitStatus::kTimedOut);

  SendText(*connection.terminal, "0123456789A");
  ASSERT_EQ(server.Wait(kPrompt), WaitStatus::kSignalled);
  EXPECT_EQ(*server.BytesWaiting(), 11u);
  EXPECT_FALSE(server.PeerHasClosed());

  char buffer[16] = {};
  EXPECT_EQ(*server.Receive(buffer, 4), 4u);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(*server.BytesWaiting(), 7u);
  EXPECT_EQ(*server.Receive(buffer, sizeof buffer), 7u);
  EXPECT_EQ(server.Receive(buffer, sizeof buffer).error().value(), EAGAIN);

  connection.terminal->Close();
  ASSERT_EQ(server.Wait(kPrompt), WaitStatus::kSignalled) << "the peer's close signals";
  EXPECT_EQ(*server.BytesWaiting(), 0u);
  EXPECT_TRUE(server.PeerHasClosed());
  EXPECT_EQ(*server.Receive(buffer, sizeof buffer), 0u);
}

TEST(ConnectedSocket, ShutdownOfSendingEndsThePeersStream) {
  auto listener = Listen();
  Connection connection = Connect(*listener);
  ASSERT_FALSE(connection.server.socket->Shutdown(platform::ShutdownDirection::kSend));
  ConnectedSocket& terminal = *connection.terminal;
  ASSERT_EQ(terminal.Wait(kPrompt), WaitStatus::kSignalled);
  char byte = 0;
  EXPECT_EQ(*terminal.Receive(&byte, 1), 0u);

  // The server side still receives until it shuts down both directions.
  SendText(terminal, "x");
  ASSERT_EQ(connection.server.socket->Wait(kPrompt), WaitStatus::kSignalled);
  EXPECT_EQ(*connection.server.socket->Receive(&byte, 1), 1u);
  ASSERT_FALSE(connection.server.socket->Shutdown(platform::ShutdownDirection::kBoth));
  connection.server.socket->Close();
  EXPECT_FALSE(connection.server.socket->IsOpen());
  EXPECT_EQ(connection.server.socket->Wait(0ms), WaitStatus::kFailed);
}

}  // namespace
