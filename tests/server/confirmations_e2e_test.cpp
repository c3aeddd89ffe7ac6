// Confirmations to terminals (-r) and a packet sent to a platform (-s:),
// end to end with the real binary on 127.0.0.1.

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/korvane_process.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "util/text.h"

namespace {

using namespace testing_support;

const Bytes kTrackData = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02, 0xA3, 0x00, 0x00,
                          0x00, 0x80, 0xFF, 0xFF, 0xFF, 0xFF, 0xD2, 0x84, 0x10};

// Two TRACK_DATA records from the eCall service, RN 5 and 6.
Bytes TrackPacket(uint16_t pid) {
  RecordFields fields;
  fields.SST = 10;
  fields.RST = 10;
  fields.RN = 5;
  const Bytes first = RecordBytes(fields, SubrecordBytes(62, kTrackData));
  fields.RN = 6;
  const Bytes second = RecordBytes(fields, SubrecordBytes(62, kTrackData));
  return PacketBytes(1, Concat({first, second}), pid);
}

// The confirmation expected for it: RPID, PR 0, one RECORD_RESPONSE per record.
Bytes TrackConfirmation(uint16_t rpid, uint16_t pid, uint16_t firstRn) {
  Bytes frame;
  PutU16(frame, rpid);
  frame.push_back(0);
  for (uint16_t crn : {5, 6}) {
    RecordFields fields;
    fields.RN = firstRn++;
    fields.SST = 10;
    fields.RST = 10;
    Bytes srd;
    PutU16(srd, crn);
    srd.push_back(0);
    const Bytes record = RecordBytes(fields, SubrecordBytes(0, srd));
    frame.insert(frame.end(), record.begin(), record.end());
  }
  return PacketBytes(0, frame, pid);
}

class Server {
 public:
  explicit Server(std::vector<std::string> args) : port_(FreePort()), korvane_(With(args, port_)) {
    korvane_.WaitForOutput("Please type 'quit' to exit...\n");
    korvane_.Write("ready?\n");
    ready_ = korvane_.WaitForOutput("Please, type 'command' first.\n");
  }
  bool Ready() const { return ready_; }
  uint16_t Port() const { return port_; }
  KorvaneProcess& Process() { return korvane_; }
  std::string Quit() {
    korvane_.Write("quit\n");
    EXPECT_EQ(korvane_.WaitForExit(), 0);
    return korvane_.Output();
  }

 private:
  static std::vector<std::string> With(std::vector<std::string> args, uint16_t port) {
    args.push_back("-b:127.0.0.1:" + std::to_string(port));
    return args;
  }
  uint16_t port_;
  KorvaneProcess korvane_;
  bool ready_ = false;
};

TEST(ConfirmationsEndToEnd, EveryPacketButAConfirmationIsConfirmed) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  // A confirmation from the terminal gets none; the track packet after it
  // gets the first one, so the first bytes back answer it.
  ASSERT_TRUE(terminal.Send(PacketBytes(0, {0x09, 0x00, 0x00}, 0x0100)));
  ASSERT_TRUE(terminal.Send(TrackPacket(0x0200)));
  ASSERT_TRUE(terminal.Send(TrackPacket(0x0201)));
  const Bytes first = TrackConfirmation(0x0200, 1, 1);
  const Bytes second = TrackConfirmation(0x0201, 2, 3);
  EXPECT_EQ(terminal.Read(first.size()), first);
  EXPECT_EQ(terminal.Read(second.size()), second);

  // A frame whose check sum is wrong: PR 138 and no records.
  Bytes broken = TrackPacket(0x0202);
  broken.back() ^= 0x55;
  ASSERT_TRUE(terminal.Send(broken));
  Bytes frame;
  PutU16(frame, 0x0202);
  frame.push_back(138);
  const Bytes refusal = PacketBytes(0, frame, 3);
  EXPECT_EQ(terminal.Read(refusal.size()), refusal);
  ASSERT_TRUE(server.Process().WaitForOutput("\nResponse data: " + std::to_string(refusal.size()) +
                                             " bytes\n " + HexText(refusal.data(), refusal.size()) +
                                             "\n\n"));
  const std::string output = server.Quit();
  EXPECT_NE(output.find("\nResponse data: " + std::to_string(first.size()) + " bytes\n " +
                        HexText(first.data(), first.size()) + "\n\n"),
            std::string::npos)
      << output;
}

TEST(ConfirmationsEndToEnd, WithoutTheOptionNothingIsEverSent) {
  Server server({});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(terminal.Send(TrackPacket(1)));
  ASSERT_TRUE(server.Process().WaitForOutput("Header Check Sum"));
  server.Quit();
  // The server has closed the connection: end of stream, no byte before it.
  EXPECT_TRUE(terminal.Read(1).empty());
}

TEST(ConfirmationsEndToEnd, ASentPacketIsAnsweredByAnotherKorvane) {
  Server platform({"-r"});
  ASSERT_TRUE(platform.Ready());
  ScratchDirectory scratch;
  const Bytes packet = TrackPacket(0x0777);
  WriteFile(scratch / "track.bin", std::string(packet.begin(), packet.end()));
  const RunResult sender = RunKorvaneBinary(
      {"-f:" + (scratch / "track.bin"), "-s:127.0.0.1:" + std::to_string(platform.Port())}, "");
  platform.Quit();
  EXPECT_EQ(sender.exitCode, 0);
  const Bytes confirmation = TrackConfirmation(0x0777, 1, 1);
  EXPECT_NE(sender.output.find("INFO: Packet sent to the platform 127.0.0.1:" +
                               std::to_string(platform.Port()) + " (" +
                               std::to_string(packet.size()) + " bytes)\n\nPacket data: " +
                               std::to_string(confirmation.size()) + " bytes\n " +
                               HexText(confirmation.data(), confirmation.size()) +
                               "\n\n\nEGTS Transport Layer:\n---------------------\n"
                               "  Validating result   - 0 (OK)\n"),
            std::string::npos)
      << sender.output;
  EXPECT_EQ(sender.output.find("No confirmation"), std::string::npos);
  EXPECT_NE(sender.output.find("Press any key to exit...\n"), std::string::npos);
}

TEST(ConfirmationsEndToEnd, EveryAnswerIsReportedUntilThePlatformCloses) {
  // A platform of our own: it answers with an application packet, not a
  // confirmation, and closes the connection.
  auto listener = platform::ListeningSocket::Open("127.0.0.1", 0, 1);
  ASSERT_TRUE(listener);
  const uint16_t port = *(*listener)->Port();
  const Bytes answer = TrackPacket(0x0999);
  std::thread platformSide([&] {
    if ((*listener)->Wait(std::chrono::seconds(10)) != platform::WaitStatus::kSignalled) return;
    auto accepted = (*listener)->Accept();
    if (!accepted) return;
    Terminal peer(std::move(accepted->socket));
    peer.Read(TrackPacket(1).size());
    peer.Send(answer);
    // Closing with its confirmation unread would reset the connection.
    peer.ReadPacket();
  });
  ScratchDirectory scratch;
  const Bytes packet = TrackPacket(1);
  WriteFile(scratch / "track.bin", std::string(packet.begin(), packet.end()));
  const RunResult sender =
      RunKorvaneBinary({"-f:" + (scratch / "track.bin"), "-s:127.0.0.1:" + std::to_string(port)}, "");
  platformSide.join();
  EXPECT_EQ(sender.exitCode, 0);
  EXPECT_NE(sender.output.find("\nPacket data: " + std::to_string(answer.size()) + " bytes\n " +
                               HexText(answer.data(), answer.size()) + "\n\n"),
            std::string::npos)
      << sender.output;
  EXPECT_NE(sender.output.find("INFO: Connection closed by the platform\n"), std::string::npos)
      << sender.output;
}

TEST(ConfirmationsEndToEnd, SendingToAClosedPortSaysSoAndExitsWithZero) {
  ScratchDirectory scratch;
  const Bytes packet = TrackPacket(1);
  WriteFile(scratch / "track.bin", std::string(packet.begin(), packet.end()));
  const uint16_t closed = FreePort();
  const RunResult sender = RunKorvaneBinary(
      {"-f:" + (scratch / "track.bin"), "-s:127.0.0.1:" + std::to_string(closed)}, "");
  EXPECT_EQ(sender.exitCode, 0);
  EXPECT_NE(sender.output.find("ERROR: Can not connect to the platform 127.0.0.1:" +
                               std::to_string(closed) + " (error:111 Connection refused)\n"),
            std::string::npos)
      << sender.output;
}

}  // namespace
