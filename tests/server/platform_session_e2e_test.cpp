// A conversation with a platform (-s:) end to end: the bundled session
// against a real korvane platform (-r), and a platform of the test's own
// that confirms badly.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/listening_socket.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"
#include "support/terminal.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using namespace testing_support;

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// A RESPONSE: RPID, PR 0, one record (RN, SST = RST = service) with one
// RECORD_RESPONSE per (CRN, status).
Bytes Confirmation(uint16_t pid, uint16_t rpid, uint16_t rn, uint8_t service,
                   const std::vector<std::pair<uint16_t, uint8_t>>& answers) {
  Bytes frame;
  PutU16(frame, rpid);
  frame.push_back(0);
  Bytes rd;
  for (const auto& [crn, status] : answers) {
    Bytes srd;
    PutU16(srd, crn);
    srd.push_back(status);
    rd = Concat({rd, SubrecordBytes(0, srd)});
  }
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = service;
  return PacketBytes(0, Concat({frame, RecordBytes(record, rd)}), pid);
}

std::string Dump(const char* title, const Bytes& bytes) {
  return std::string("\n") + title + ": " + std::to_string(bytes.size()) + " bytes\n " +
         HexText(bytes.data(), bytes.size()) + "\n\n";
}

// The bundled session (TERM_IDENTITY, then two TELEDATA packets) against
// korvane -r: every packet is confirmed with status 0, the platform's
// RESULT_CODE is confirmed by the sender, and neither side finds fault.
TEST(PlatformSessionEndToEnd, TheBundledSessionIsHeldWithAKorvanePlatform) {
  Server platform({"-r"});
  ASSERT_TRUE(platform.Ready());
  const RunResult sender =
      RunKorvaneBinary({std::string("-f:") + KORVANE_EXAMPLES_DIR + "/session.bin",
                        "-s:127.0.0.1:" + std::to_string(platform.Port())},
                       "");
  // The RESULT_CODE packet as the platform numbers it (PID 2, RN 2, after
  // its first confirmation), and the sender's first confirmation of it,
  // numbered after the input's PIDs and RNs (1 to 3).
  RecordFields answer;
  answer.RN = 2;
  answer.SST = answer.RST = 1;
  const Bytes result = PacketBytes(1, RecordBytes(answer, SubrecordBytes(9, {0})), 2);
  const Bytes resultConfirmed = Confirmation(4, 2, 4, 1, {{2, 0}});
  ASSERT_TRUE(platform.WaitFor(Dump("Packet data", resultConfirmed)));
  const std::string output = platform.Quit();

  EXPECT_EQ(sender.exitCode, 0);
  EXPECT_EQ(Count(sender.output, "INFO: Packet sent to the platform "), 3u) << sender.output;
  EXPECT_NE(sender.output.find(Dump("Packet data", result) +
                               "\nEGTS Transport Layer:\n---------------------\n"),
            std::string::npos)
      << sender.output;
  EXPECT_EQ(Count(sender.output, Dump("Response data", resultConfirmed)), 1u) << sender.output;
  EXPECT_EQ(Count(sender.output, "WARNING"), 0u) << sender.output;
  EXPECT_EQ(Count(output, "Response data: 29 bytes\n"), 3u) << output;
  EXPECT_EQ(Count(output, "INFO: Authorization answered with result 0 (OK)\n"), 1u) << output;
  EXPECT_EQ(Count(output, " WARNING: "), 0u) << output;  // no finding in the log
}

// A platform that confirms one record with 150 and leaves the other out;
// input bytes after the packet that are no whole packet are not sent.
TEST(PlatformSessionEndToEnd, ThePlatformsConfirmationIsCheckedRecordByRecord) {
  auto listener = platform::ListeningSocket::Open("127.0.0.1", 0, 1);
  ASSERT_TRUE(listener);
  const uint16_t port = *(*listener)->Port();
  RecordFields record;
  record.SST = record.RST = 2;
  record.RN = 7;
  const Bytes pos = {0xD9, 0x23, 0x82, 0x13, 0x00, 0x8D, 0xCE, 0xA0, 0x80, 0x70, 0xEC,
                     0x78, 0x13, 0x38, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x01, 0x00};
  const Bytes first = RecordBytes(record, SubrecordBytes(16, pos));
  record.RN = 8;
  const Bytes packet =
      PacketBytes(1, Concat({first, RecordBytes(record, SubrecordBytes(16, pos))}), 40);
  Bytes received;
  bool closedBySender = false;
  std::thread platformSide([&] {
    if ((*listener)->Wait(10s) != platform::WaitStatus::kSignalled) return;
    auto accepted = (*listener)->Accept();
    if (!accepted) return;
    Terminal peer(std::move(accepted->socket));
    received = peer.Read(packet.size());
    peer.Send(Confirmation(1, 40, 1, 2, {{7, 150}}));
    // Anything more than the packet would be the unframed bytes.
    closedBySender = peer.Read(1, 8s).empty();
  });
  const RunResult sender =
      RunKorvaneBinary({"-c", "-s:127.0.0.1:" + std::to_string(port)}, Hex(packet) + " 01 00 00\n");
  platformSide.join();

  EXPECT_EQ(received, packet);
  EXPECT_TRUE(closedBySender);
  EXPECT_EQ(sender.exitCode, 0);
  EXPECT_EQ(Count(sender.output, "WARNING: Record 7 confirmed with result 150 ("), 1u)
      << sender.output;
  EXPECT_EQ(Count(sender.output, "WARNING: Record 8 not confirmed by the platform\n"), 1u);
  EXPECT_EQ(Count(sender.output, "WARNING: 3 bytes of the input from offset " +
                                     std::to_string(packet.size()) + " are no whole packet"),
            1u);
  EXPECT_EQ(Count(sender.output, "WARNING"), 3u) << sender.output;
}

// The next whole packet from the other side: the header, then the rest.
Bytes ReadPacket(Terminal& peer) {
  Bytes packet = peer.Read(11);
  if (packet.size() < 11) return packet;
  const size_t fdl = packet[5] | packet[6] << 8;
  const Bytes rest = peer.Read(packet[3] + fdl + (fdl > 0 ? 2 : 0) - 11);
  return Concat({packet, rest});
}

// A platform with the faults real ones showed: it sends RESULT_CODE in a
// RESPONSE, answers the records of our confirmations with RECORD_RESPONSEs
// of its own, and sends a packet twice. Each is named once; the echo ends
// after one round; the RESULT_CODE that follows in APPDATA ends the wait.
TEST(PlatformSessionEndToEnd, APlatformsKnownFaultsAreNamed) {
  auto listener = platform::ListeningSocket::Open("127.0.0.1", 0, 1);
  ASSERT_TRUE(listener);
  const uint16_t port = *(*listener)->Port();
  RecordFields auth{.RN = 7, .SST = 1, .RST = 1};
  Bytes identity = {0x6D, 0x04, 0x00, 0x00, 0x00};  // TID 1133, no flags
  const Bytes input = PacketBytes(1, RecordBytes(auth, SubrecordBytes(1, identity)), 40);
  Bytes misplaced;
  PutU16(misplaced, 40);
  misplaced.push_back(0);
  auth.RN = 2;
  misplaced = PacketBytes(0, Concat({misplaced, RecordBytes(auth, SubrecordBytes(9, {0}))}), 2);
  const Bytes position = PacketBytes(
      1, RecordBytes({.RN = 3, .SST = 2, .RST = 2}, SubrecordBytes(19, {0x00})), 3);
  auth.RN = 5;
  const Bytes answer = PacketBytes(1, RecordBytes(auth, SubrecordBytes(9, {0})), 5);
  std::vector<size_t> confirmationSizes;
  std::thread platformSide([&] {
    if ((*listener)->Wait(10s) != platform::WaitStatus::kSignalled) return;
    auto accepted = (*listener)->Accept();
    if (!accepted) return;
    Terminal peer(std::move(accepted->socket));
    peer.Read(input.size());
    peer.Send(Confirmation(1, 40, 1, 1, {{7, 0}}));
    peer.Send(misplaced);
    Bytes confirmation;
    for (const Bytes& packet : {position, Bytes{}, position, answer}) {
      const Bytes sent = packet.empty() ? EchoOfConfirmation(confirmation, 4) : packet;
      if (packet.empty()) confirmationSizes.push_back(sent.size());
      peer.Send(sent);
      confirmation = ReadPacket(peer);
      confirmationSizes.push_back(confirmation.size());
    }
    peer.Read(1, 8s);  // until the sender closes
  });
  const RunResult sender =
      RunKorvaneBinary({"-c", "-x", "-s:127.0.0.1:" + std::to_string(port)}, Hex(input));
  platformSide.join();

  // The position's confirmation (29 bytes), the echo of its record (26)
  // and its confirmation without record (16), the repeated position's (29)
  // and the answer's (29).
  EXPECT_EQ(confirmationSizes, (std::vector<size_t>{29, 26, 16, 29, 29}));
  EXPECT_EQ(Count(sender.output, "WARNING: The platform confirms our confirmations: its records "
                                 "that hold only RECORD_RESPONSE are confirmed by their packet "
                                 "alone\n"),
            1u)
      << sender.output;
  EXPECT_EQ(Count(sender.output, "WARNING: Packet 2 of the platform is a RESPONSE that carries "
                                 "RESULT_CODE 0 (OK): a terminal takes the authorization answer "
                                 "only from APPDATA\n"),
            1u);
  EXPECT_EQ(Count(sender.output, "WARNING: Packet 3 of the platform received again\n"), 1u);
  EXPECT_EQ(Count(sender.output, "No RESULT_CODE"), 0u);
}

}  // namespace
