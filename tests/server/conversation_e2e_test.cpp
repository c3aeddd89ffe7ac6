// A whole conversation with a terminal (-r) end to end: the real binary on
// 127.0.0.1 and test terminals that speak the standard's layouts.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "compose/command_builder.h"
#include "compose/command_packet.h"
#include "service/commands/subrecord_command_data.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::Bytes;
using testing_support::Concat;
using testing_support::EchoOfConfirmation;
using testing_support::IdentityPacket;
using testing_support::PacketBytes;
using testing_support::RecordBytes;
using testing_support::RecordFields;
using testing_support::Server;
using testing_support::SubrecordBytes;
using testing_support::Terminal;

// POS_DATA of 21 bytes under TELEDATA.
Bytes PositionPacket(uint16_t pid, uint16_t rn) {
  const Bytes srd = {0xD9, 0x23, 0x82, 0x13, 0x00, 0x8D, 0xCE, 0xA0, 0x80, 0x70, 0xEC,
                     0x78, 0x13, 0x38, 0x00, 0x3C, 0x00, 0x00, 0x00, 0x01, 0x00};
  RecordFields record;
  record.RN = rn;
  record.SST = record.RST = 2;
  return PacketBytes(1, RecordBytes(record, SubrecordBytes(16, srd)), pid);
}

// A terminal's confirmation: RPID, PR 0, one RECORD_RESPONSE (CRN, status).
Bytes ConfirmationPacket(uint16_t pid, uint16_t rpid, uint16_t crn, uint8_t status,
                         uint8_t service) {
  RecordFields record;
  record.RN = pid;
  record.SST = record.RST = service;
  Bytes frame = {static_cast<uint8_t>(rpid), static_cast<uint8_t>(rpid >> 8), 0};
  const Bytes rd = SubrecordBytes(0, {static_cast<uint8_t>(crn), static_cast<uint8_t>(crn >> 8),
                                      status});
  return PacketBytes(0, Concat({frame, RecordBytes(record, rd)}), pid);
}

uint16_t Pid(const Bytes& packet) { return ReadU16(packet.data() + 7); }

// The id of the latest "New Client Object created" line.
std::string LastCreatedId(const std::string& output) {
  const std::string created = "Main:  INFO: New Client Object created ";
  const size_t at = output.rfind(created);
  if (at == std::string::npos) return "";
  const size_t start = at + created.size();
  return output.substr(start, output.find('\n', start) - start);
}

// A terminal that identified itself and got its answer.
std::unique_ptr<Terminal> AuthorizedTerminal(Server& server) {
  auto terminal = std::make_unique<Terminal>(server.Port());
  terminal->Send(IdentityPacket(1, 1));
  terminal->ReadPacket();  // the confirmation
  terminal->ReadPacket();  // the answer
  return terminal;
}

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

// Authorization, then data: the confirmation of the identity with record
// status 0, the RESULT_CODE packet exactly as the standard lays it out
// (built here independently), and a POS_DATA confirmed with status 0.
TEST(ConversationEndToEnd, AuthorizationIsAnsweredAndDataConfirmed) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(terminal.Send(IdentityPacket(10, 20)));

  const Bytes confirmation = terminal.ReadPacket();
  ASSERT_EQ(confirmation.size(), 29u);
  EXPECT_EQ(confirmation[9], 0);    // PT RESPONSE
  EXPECT_EQ(ReadU16(confirmation.data() + 11), 10);  // RPID
  EXPECT_EQ(ReadU16(confirmation.data() + 24), 20);  // CRN
  EXPECT_EQ(confirmation[26], 0);   // the identity record's status

  RecordFields answerRecord;
  answerRecord.RN = 2;  // after the confirmation's record
  answerRecord.SST = answerRecord.RST = 1;
  const Bytes expected = PacketBytes(1, RecordBytes(answerRecord, SubrecordBytes(9, {0})), 2);
  const Bytes answer = terminal.ReadPacket();
  EXPECT_EQ(answer, expected);

  ASSERT_TRUE(terminal.Send(ConfirmationPacket(11, Pid(answer), 2, 0, 1)));
  ASSERT_TRUE(terminal.Send(PositionPacket(12, 21)));
  const Bytes dataConfirmation = terminal.ReadPacket();
  ASSERT_EQ(dataConfirmation.size(), 29u);
  EXPECT_EQ(ReadU16(dataConfirmation.data() + 11), 12);
  EXPECT_EQ(dataConfirmation[26], 0);  // POS_DATA is known: status 0
  ASSERT_TRUE(server.WaitFor("Response data: 29 bytes\n 0100000B0010000300"));
  const std::string output = server.Quit();

  EXPECT_EQ(Count(output, "Sent data: 24 bytes\n"), 1u);
  EXPECT_EQ(Count(output, "INFO: Authorization answered with result 0 (OK)\n"), 1u);
  EXPECT_EQ(Count(output, " WARNING: "), 0u) << output;  // no finding in the log
}

// A terminal that answers every record of our RESPONSE packets with an
// APPDATA packet of RECORD_RESPONSEs: such records are confirmed by their
// packet alone, so each exchange ends after one round, with one warning in
// all.
TEST(ConversationEndToEnd, ATerminalThatConfirmsConfirmationsIsAnsweredByPacketOnly) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  uint16_t pid = 100;
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(terminal.Send(PositionPacket(pid, pid)));
    Bytes packet = terminal.ReadPacket();
    int echoes = 0;
    for (Bytes echo = EchoOfConfirmation(packet, ++pid); !echo.empty() && echoes < 3;
         echo = EchoOfConfirmation(packet, ++pid)) {
      ASSERT_TRUE(terminal.Send(echo));
      packet = terminal.ReadPacket();
      ++echoes;
    }
    EXPECT_EQ(echoes, 1);
    ASSERT_EQ(packet.size(), 16u);  // RPID and PR, no record
    EXPECT_EQ(ReadU16(packet.data() + 11), pid - 1);
    EXPECT_EQ(packet[13], 0);
  }
  EXPECT_TRUE(terminal.Read(1, 1s).empty());
  const std::string output = server.Quit();
  EXPECT_EQ(Count(output, "WARNING: The terminal confirms our confirmations: its records that "
                          "hold only RECORD_RESPONSE are confirmed by their packet alone\n"),
            1u)
      << output;
}

TEST(ConversationEndToEnd, ARefusedTerminalGetsItsResultAndIsLetGo) {
  Server server({"-r:151"});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(terminal.Send(IdentityPacket(1, 1)));
  terminal.ReadPacket();  // the confirmation
  const Bytes answer = terminal.ReadPacket();
  ASSERT_EQ(answer.size(), 24u);
  EXPECT_EQ(answer[21], 151);  // RCD
  EXPECT_TRUE(terminal.Read(1, 3s).empty());  // closed by the server
  ASSERT_TRUE(server.WaitFor("Main:  INFO: Connection closed "));
  const std::string output = server.Quit();
  EXPECT_NE(output.find("INFO: Authorization answered with result 151 ("), std::string::npos)
      << output;
}

// Every check of the conversation fires once, on three terminals at once.
TEST(ConversationEndToEnd, EveryCheckOfTheConversationFires) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  Terminal silent(server.Port());
  Terminal careless(server.Port());
  Terminal refusing(server.Port());

  // Data first, then the identity; the answer is never confirmed; one
  // packet twice; a confirmation of a packet never sent.
  ASSERT_TRUE(careless.Send(PositionPacket(1, 1)));
  careless.ReadPacket();
  ASSERT_TRUE(careless.Send(IdentityPacket(2, 2)));
  careless.ReadPacket();
  const Bytes carelessAnswer = careless.ReadPacket();
  ASSERT_TRUE(careless.Send(PositionPacket(2, 3)));
  ASSERT_TRUE(careless.Send(ConfirmationPacket(3, 999, 999, 0, 2)));

  // The answer's record confirmed with status 150.
  ASSERT_TRUE(refusing.Send(IdentityPacket(1, 1)));
  refusing.ReadPacket();
  const Bytes refusingAnswer = refusing.ReadPacket();
  ASSERT_TRUE(refusing.Send(ConfirmationPacket(2, Pid(refusingAnswer), 2, 150, 1)));

  const std::string late =
      "WARNING: Record " + std::to_string(ReadU16(carelessAnswer.data() + 13)) +
      " not confirmed within 5000 ms\n";
  ASSERT_TRUE(server.WaitFor("WARNING: No authorization within 6000 ms of connecting\n"));
  ASSERT_TRUE(server.WaitFor(late));
  const std::string output = server.Quit();

  EXPECT_EQ(Count(output, "WARNING: No authorization within 6000 ms of connecting\n"), 1u);
  EXPECT_EQ(Count(output, "WARNING: Data before authorization (record 1, service 2)\n"), 1u);
  EXPECT_EQ(Count(output, "WARNING: Packet 2 received again\n"), 1u);
  EXPECT_EQ(Count(output, "WARNING: Confirmation of unknown packet 999\n"), 1u);
  EXPECT_EQ(Count(output, "WARNING: Record 2 confirmed with result 150 ("), 1u) << output;
  // Only the careless terminal leaves its answer unconfirmed.
  EXPECT_EQ(Count(output, "WARNING: Packet " + std::to_string(Pid(carelessAnswer)) +
                              " not confirmed within 5000 ms\n"),
            1u);
  EXPECT_EQ(Count(output, "not confirmed within 5000 ms\n"), 2u) << output;
}

// `clients` lists the connection, `send` delivers the command packet of the
// outgoing directory with the connection's PID and RN, and the terminal's
// CT_COMCONF answer is logged.
TEST(ConversationEndToEnd, OperatorCommandsReachAConnectedTerminal) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  Terminal terminal(server.Port());
  ASSERT_TRUE(terminal.Send(IdentityPacket(1, 1)));
  terminal.ReadPacket();
  const Bytes answer = terminal.ReadPacket();
  const Bytes confirmation = ConfirmationPacket(2, Pid(answer), 2, 0, 1);
  ASSERT_TRUE(terminal.Send(confirmation));
  // Reported: the connection's summary counts it now.
  ASSERT_TRUE(server.WaitFor("Packet data: 29 bytes\n " +
                             HexText(confirmation.data(), confirmation.size())));

  server.Process().Write("clients\n");
  ASSERT_TRUE(server.WaitFor("  authorized  TID 1133  IMEI 861715033983983  packets 2\n"))
      << server.Process().Output();
  const std::string listed = server.Process().Output();
  const size_t line = listed.rfind('\n', listed.find("  authorized  TID 1133")) + 1;
  const std::string id = listed.substr(line, listed.find(' ', line) - line);

  server.Process().Write("send " + id + " EGTS_SIM_PIN 112 5 1234\n");
  const Bytes command = terminal.ReadPacket();
  ASSERT_GE(command.size(), 30u);
  // The record's CID sits after RL RN RFL OID SST RST, SRT SRL and CT/CCT.
  const uint32_t cid = ReadU32(command.data() + 11 + 11 + 3 + 1);
  EGTS::Subrecord_COMMAND_DATA sent = BuildSimPin("112", 5, 1234);
  sent.SetCID(cid);
  CommandCounters counters;
  counters.packetId = Pid(command);
  counters.recordNumber = ReadU16(command.data() + 13);
  EGTS::bytestream expected;
  ASSERT_EQ(ComposeCommandPacket(sent, counters, expected), 0);
  EXPECT_EQ(command, expected.bytes);
  EXPECT_EQ(Pid(command), 3);  // after the confirmation and the answer

  // CT_COMCONF with CCT OK, the same CID, ADR and the command code.
  Bytes srd = {0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x00, 0x05, 0x02};
  srd[1] = static_cast<uint8_t>(cid);
  srd[2] = static_cast<uint8_t>(cid >> 8);
  RecordFields record;
  record.RN = 3;
  record.SST = record.RST = 4;
  ASSERT_TRUE(terminal.Send(PacketBytes(1, RecordBytes(record, SubrecordBytes(51, srd)), 3)));
  ASSERT_TRUE(server.WaitFor("INFO: Command " + std::to_string(cid) +
                             " answered: EGTS_CC_OK (EGTS_SIM_PIN)\n"));
  server.Process().Write("send FFFFFFFF EGTS_SIM_PIN 112 5 1234\n");
  ASSERT_TRUE(server.WaitFor("ERROR: No connection FFFFFFFF\n"));
  server.Quit();
}

// Terminals that come one after another each get an id of their own, and a
// command for one that has left reaches no later terminal.
TEST(ConversationEndToEnd, AClientIdNamesOneConnectionForTheWholeRun) {
  Server server({"-r"});
  ASSERT_TRUE(server.Ready());
  std::vector<std::string> ids;
  std::unique_ptr<Terminal> terminal;
  for (size_t i = 0; i < 3; ++i) {
    if (terminal) {
      terminal->Close();
      ASSERT_TRUE(server.WaitFor("Main:  INFO: Connection closed " + ids.back() + "\n"));
    }
    terminal = AuthorizedTerminal(server);
    // Written after the line that names the client.
    ASSERT_TRUE(server.Process().WaitForCount(" INFO: Authorization answered with result 0 (OK)\n",
                                              i + 1));
    ids.push_back(LastCreatedId(server.Process().Output()));
  }
  server.Process().Write("send " + ids[0] + " EGTS_SIM_PIN 112 5 1234\n");
  ASSERT_TRUE(server.WaitFor("ERROR: No connection " + ids[0] + "\n"));
  EXPECT_TRUE(terminal->Read(1, 300ms).empty());
  const std::string output = server.Quit();
  EXPECT_EQ(std::set<std::string>(ids.begin(), ids.end()).size(), 3u) << output;
  EXPECT_EQ(output.find("DEV_ID=5 SIM_PIN=1234"), std::string::npos) << "echoed, not sent";
}

// Every value is checked against its field before anything is built, with
// one line naming the field and its range; a `send` is echoed only once the
// connection has taken it, and before its packet.
TEST(ConversationEndToEnd, CommandValuesAreCheckedAndOnlyTakenCommandsEchoed) {
  testing_support::ScratchDirectory root;
  Server server({"-r", "-n:" + (root / "in"), "-w:" + (root / "work"), "-o:" + (root / "out")});
  ASSERT_TRUE(server.Ready());
  const auto terminal = AuthorizedTerminal(server);
  // After the line that names the client.
  ASSERT_TRUE(server.WaitFor(" INFO: Authorization answered with result 0 (OK)\n"));
  const std::string id = LastCreatedId(server.Process().Output());
  server.Process().Write(
      "command EGTS_ECALL_REQ 112 5 257\n"
      "command EGTS_ECALL_MSD_REQ 112 5 7 256\n"
      "command EGTS_SIM_PIN 112 5 -1\n"
      "command EGTS_SIM_PIN 112 99999999999999999999 1\n"
      "send FFFFFFFF EGTS_SIM_PIN 112 5 2\n"
      "send " + id + " EGTS_ECALL_REQ 112 5 1\n"
      "command EGTS_ECALL_REQ 112 5 255\n");
  const Bytes sent = terminal->ReadPacket();
  ASSERT_TRUE(server.WaitFor("Main: \nCommand ID ["));
  const std::string output = server.Quit();

  for (const char* refusal :
       {"\nERROR: incorrect parameter: PAR=257 is out of range 0..255\n",
        "\nERROR: incorrect parameter: TRANSP=256 is out of range 0..255\n",
        "\nERROR: incorrect parameter: SIM_PIN=-1 is out of range 0..4294967295\n",
        "\nERROR: incorrect parameter: DEV_ID=99999999999999999999 is out of range "
        "0..4294967295\n",
        "ERROR: No connection FFFFFFFF\n"}) {
    EXPECT_EQ(Count(output, refusal), 1u) << refusal << output;
  }
  EXPECT_EQ(Count(output, "\nCommand '"), 2u) << "only the two commands that went";
  const size_t echo = output.find("\nCommand 'EGTS_ECALL_REQ' RCP_NUM='112' DEV_ID=5 PAR=1\n\n");
  EXPECT_NE(echo, std::string::npos);
  EXPECT_GT(output.find("\nSent data: " + std::to_string(sent.size()) + " bytes\n " +
                        HexText(sent.data(), sent.size())),
            echo);
  // The last byte of DT sits before the SFRCS.
  ASSERT_GT(sent.size(), 3u);
  EXPECT_EQ(sent[sent.size() - 3], 1);
  const std::vector<std::string> files = testing_support::FileNames(root / "out");
  ASSERT_EQ(files.size(), 1u);
  const std::string file = testing_support::ReadFile(root / "out" + "/" + files[0]);
  EXPECT_EQ(static_cast<uint8_t>(file[file.size() - 3]), 0xFF);
}

}  // namespace
