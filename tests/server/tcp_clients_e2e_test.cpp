// Terminals on TCP end to end: the real binary on 127.0.0.1, real sockets.

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/korvane_process.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/terminal.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Bytes;
using testing_support::KorvaneProcess;
using testing_support::Server;
using testing_support::Terminal;


// A small application packet: one record of the commands service with one
// RECORD_RESPONSE subrecord; `fill` tells packets of different senders apart.
Bytes AppPacket(uint16_t pid, uint8_t fill = 0) {
  testing_support::RecordFields fields;
  fields.RN = pid;
  fields.SST = 4;
  fields.RST = 4;
  const Bytes record = testing_support::RecordBytes(
      fields, testing_support::SubrecordBytes(0, {static_cast<uint8_t>(pid), 0, fill}));
  return testing_support::PacketBytes(1, record, pid);
}

std::string Dump(const Bytes& packet) {
  return StringPrintf("\nPacket data: %zu bytes\n ", packet.size()) +
         HexText(packet.data(), packet.size()) + "\n\n";
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(TcpClientsEndToEnd, PacketsAreCutOutOfTheStreamWhole) {
  Server server;
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  const Bytes first = AppPacket(1);
  for (uint8_t byte : first) {
    ASSERT_TRUE(terminal.Send({byte}));
    std::this_thread::sleep_for(1ms);
  }
  const Bytes second = AppPacket(2), third = AppPacket(3);
  ASSERT_TRUE(terminal.Send(testing_support::Concat({second, third})));
  const Bytes headerOnly = testing_support::PacketBytes(0 + 1, {}, 4);
  ASSERT_TRUE(terminal.Send(headerOnly));
  const Bytes routed = testing_support::RoutedPacketBytes(1, {0x05, 0x00, 0x05, 0x00, 0x00, 0x01,
                                                              0x00, 0x04, 0x04, 0x00, 0x00, 0x00},
                                                          7, 0, 3, 5);
  ASSERT_TRUE(terminal.Send(routed));
  ASSERT_TRUE(server.WaitFor(Dump(routed)));
  terminal.Close();
  ASSERT_TRUE(server.WaitFor("INFO: Connection closed by remote side\n"));
  const std::string output = server.Quit();

  size_t at = 0;
  for (const Bytes* packet : {&first, &second, &third, &headerOnly, &routed}) {
    const size_t found = output.find(Dump(*packet), at);
    ASSERT_NE(found, std::string::npos) << Dump(*packet) << output;
    at = found + 1;
  }
  EXPECT_EQ(Count(output, "\nPacket data: "), 5u) << output;
  // Every report carries the client id right before it.
  EXPECT_EQ(Count(output, "\nEGTS Transport Layer:\n---------------------\n  Validating result   "
                          "- 0 (OK)\n"),
            5u);
  EXPECT_EQ(output.find("Packet part data"), std::string::npos);
}

TEST(TcpClientsEndToEnd, AHeaderThatFailsAt16BytesEndsTheConnection) {
  Server server;
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(server.WaitFor("Main:  INFO: New Client Object created "));
  Bytes header = testing_support::PacketBytes(1, {}, 1);
  header[0] = 2;  // PRV 2
  ASSERT_TRUE(terminal.Send(header));
  std::this_thread::sleep_for(100ms);
  ASSERT_TRUE(terminal.Send({0xAA, 0xBB, 0xCC, 0xDD, 0xEE}));
  ASSERT_TRUE(server.WaitFor("...\n\n"));
  ASSERT_TRUE(server.WaitFor("Main:  INFO: Connection closed "));
  const std::string output = server.Quit();
  Bytes part = header;
  part.insert(part.end(), {0xAA, 0xBB, 0xCC, 0xDD, 0xEE});
  const std::string created = "New Client Object created ";
  const size_t at = output.rfind(created);
  ASSERT_NE(at, std::string::npos) << output;
  const size_t idStart = at + created.size();
  const std::string id = output.substr(idStart, output.find('\n', idStart) - idStart);
  ASSERT_GE(id.size(), 6u) << id;
  EXPECT_NE(output.find("\nPacket part data: 16 bytes\n " + HexText(part.data(), part.size()) +
                        "...\n\n" + id + "\nEGTS Transport Layer:\n---------------------\n"
                        "  Validating result   - 128 (ERROR: "),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Main:  INFO: Connection closed " + id + "\n"), std::string::npos);
  EXPECT_EQ(output.find(id + " INFO: Connection closed by remote side"), std::string::npos);
}

TEST(TcpClientsEndToEnd, APeerThatClosesMidPacketPrintsNoDump) {
  Server server;
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  const Bytes packet = AppPacket(1);
  ASSERT_TRUE(terminal.Send(Bytes(packet.begin(), packet.begin() + 20)));
  std::this_thread::sleep_for(50ms);
  terminal.Close();
  ASSERT_TRUE(server.WaitFor("INFO: Connection closed by remote side\n"));
  ASSERT_TRUE(server.WaitFor("Main:  INFO: Connection closed "));
  const std::string output = server.Quit();
  EXPECT_EQ(output.find("Packet data"), std::string::npos) << output;
}

TEST(TcpClientsEndToEnd, AFifthConnectionIsRefusedUntilOneHasLeft) {
  Server server;
  ASSERT_TRUE(server.Ready());
  std::vector<std::unique_ptr<Terminal>> terminals;
  for (int i = 0; i < 4; ++i) {
    terminals.push_back(std::make_unique<Terminal>(server.Port()));
    ASSERT_TRUE(server.Process().WaitForCount("Main:  INFO: New Client Object created ", i + 1));
  }
  Terminal fifth(server.Port());
  ASSERT_TRUE(server.WaitFor(
      "Main:  WARNING: Too many connections (4). This connection was rejected\n"));
  terminals[0]->Close();
  ASSERT_TRUE(server.WaitFor("INFO: Connection closed by remote side\n"));
  std::this_thread::sleep_for(200ms);
  Terminal sixth(server.Port());
  const Bytes packet = AppPacket(9);
  ASSERT_TRUE(sixth.Send(packet));
  ASSERT_TRUE(server.WaitFor(Dump(packet)));
  const std::string output = server.Quit();
  EXPECT_EQ(Count(output, "New Client Object created"), 5u) << output;
  EXPECT_EQ(Count(output, "Too many connections"), 1u);
  // Every client still connected at the end is stopped, not reaped.
  EXPECT_EQ(Count(output, " INFO: Stop signal received\n"), 4u) << output;
}

// Every dump is followed directly by its own validating-result line, with
// the id of the connection that sent it, however the clients interleave.
TEST(TcpClientsEndToEnd, OutputOfClientsSendingAtOnceNeverMixes) {
  Server server;
  ASSERT_TRUE(server.Ready());
  constexpr int kClients = 4, kPackets = 2500;
  std::vector<std::thread> senders;
  for (int c = 0; c < kClients; ++c) {
    senders.emplace_back([&, c] {
      Terminal terminal(server.Port());
      Bytes all;
      for (int i = 0; i < kPackets; ++i) {
        const Bytes packet = AppPacket(static_cast<uint16_t>(i), static_cast<uint8_t>(c));
        all.insert(all.end(), packet.begin(), packet.end());
      }
      terminal.Send(all);
    });
  }
  // Reading while they send: a full output pipe would hold the server up.
  EXPECT_TRUE(server.Process().WaitForCount("\nPacket data: ", kClients * kPackets,
                                            std::chrono::seconds(60)));
  for (std::thread& sender : senders) sender.join();
  const std::string output = server.Quit();

  std::map<std::string, int> senderOfDump;
  for (int c = 0; c < kClients; ++c) {
    for (int i = 0; i < kPackets; ++i) {
      senderOfDump[Dump(AppPacket(static_cast<uint16_t>(i), static_cast<uint8_t>(c)))] = c;
    }
  }
  std::map<int, std::set<std::string>> idsOfSender;
  size_t dumps = 0;
  const std::string head = "\nPacket data: ";
  for (size_t at = output.find(head); at != std::string::npos; at = output.find(head, at + 1)) {
    const size_t end = output.find("\n\n", at + head.size());
    ASSERT_NE(end, std::string::npos);
    const auto sender = senderOfDump.find(output.substr(at, end + 2 - at));
    ASSERT_NE(sender, senderOfDump.end()) << output.substr(at, 200);
    // "<client id>\nEGTS Transport Layer:" must follow at once.
    const size_t line = output.find('\n', end + 2);
    const std::string id = output.substr(end + 2, line - (end + 2));
    ASSERT_TRUE(id.size() >= 6 && id.find_first_not_of("0123456789ABCDEF") == std::string::npos)
        << output.substr(end + 2, 40);
    ASSERT_EQ(output.compare(line, 23, "\nEGTS Transport Layer:\n"), 0);
    idsOfSender[sender->second].insert(id);
    ++dumps;
  }
  EXPECT_EQ(dumps, static_cast<size_t>(kClients * kPackets));
  std::set<std::string> ids;
  for (const auto& [sender, senderIds] : idsOfSender) {
    EXPECT_EQ(senderIds.size(), 1u) << "sender " << sender;
    ids.insert(senderIds.begin(), senderIds.end());
  }
  EXPECT_EQ(ids.size(), static_cast<size_t>(kClients));
}

TEST(TcpClientsEndToEnd, VerboseShowsTheServiceLayerOfEveryPacket) {
  Server plain;
  Server verbose({"-v"});
  ASSERT_TRUE(plain.Ready() && verbose.Ready());
  const Bytes packet = AppPacket(1);
  for (Server* server : {&plain, &verbose}) {
    Terminal terminal(server->Port());
    ASSERT_TRUE(terminal.Send(packet));
    ASSERT_TRUE(server->WaitFor("Header Check Sum"));
  }
  const std::string plainOutput = plain.Quit();
  const std::string verboseOutput = verbose.Quit();
  EXPECT_EQ(plainOutput.find("Service Layer"), std::string::npos) << plainOutput;
  EXPECT_NE(verboseOutput.find("Service Layer"), std::string::npos) << verboseOutput;
}

// The line that names a new client comes before anything the client
// reports, however fast its terminal sends; and no two get the same id.
TEST(TcpClientsEndToEnd, AClientIsNamedBeforeItsFirstReport) {
  Server server;
  ASSERT_TRUE(server.Ready());
  constexpr int kConnections = 20;
  std::vector<Bytes> packets;
  for (int i = 0; i < kConnections; ++i) {
    // The terminal before has closed; its slot is free once the server has
    // seen that (four slots, and a knock meanwhile would be refused).
    ASSERT_TRUE(server.Process().WaitForCount("Main:  INFO: Connection closed ", i));
    Terminal terminal(server.Port());
    packets.push_back(AppPacket(static_cast<uint16_t>(i + 1)));
    ASSERT_TRUE(terminal.Send(packets.back()));
    ASSERT_TRUE(server.WaitFor(Dump(packets.back())));
  }
  const std::string output = server.Quit();
  const std::string created = "Main:  INFO: New Client Object created ";
  std::set<std::string> ids;
  size_t at = 0;
  for (const Bytes& packet : packets) {
    at = output.find(created, at);
    ASSERT_NE(at, std::string::npos) << output;
    const size_t start = at + created.size();
    ids.insert(output.substr(start, output.find('\n', start) - start));
    EXPECT_GT(output.find(Dump(packet)), at) << output;
    at = start;
  }
  EXPECT_EQ(ids.size(), packets.size());
}

}  // namespace
