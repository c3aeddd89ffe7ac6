// The packet-file server end to end: the real binary, real directories.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/listening_socket.h"
#include "support/example_header.h"
#include "support/korvane_process.h"
#include "support/korvane_server.h"
#include "support/packet_builder.h"
#include "support/scratch_directory.h"
#include "support/terminal.h"
#include "transport/checksum.h"
#include "util/text.h"

namespace {

using namespace std::chrono_literals;
using testing_support::FileNames;
using testing_support::KorvaneProcess;
using testing_support::ReadFile;
using testing_support::ScratchDirectory;
using testing_support::WriteFile;
using Bytes = std::vector<uint8_t>;

const std::string kPacketFileHeader = "000001\r\n+79001234567\r\n1 4\r\n1700000000\r\n";
const char* const kPrompt = "Please type 'quit' to exit...\n";
const char* const kStopped = "Main:  INFO: Stoped with cause 0\n";

std::string Text(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// The directories of one server: in, work and out under a scratch folder.
struct ServerDirectories {
  ScratchDirectory root{"korvane_server"};
  std::string in = root / "in";
  std::string work = root / "work";
  std::string out = root / "out";

  std::vector<std::string> Args() const { return {"-n:" + in, "-w:" + work, "-o:" + out}; }
  // Drops a file the way writers should: written elsewhere, renamed in.
  void Drop(const std::string& name, const std::string& content) const {
    WriteFile(root / name, content);
    std::filesystem::rename(root / name, in + "/" + name);
  }
};

size_t Count(const std::string& text, const std::string& what) {
  size_t count = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++count;
  return count;
}

TEST(WorkThreadEndToEnd, FilesWaitingAtStartAreServedOnce) {
  ServerDirectories dirs;
  std::filesystem::create_directories(dirs.in);
  WriteFile(dirs.in + "/a.txt",
            kPacketFileHeader + Text(FromHex(testing_support::kExampleHeaderHex)));
  WriteFile(dirs.in + "/b.txt", "000001\r\n112\r\n1 3\r\n0\r\n\x01\x02\x03");
  WriteFile(dirs.in + "/c.txt", kPacketFileHeader + std::string("\x01\x00\x00", 3));

  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput("Validating result   - 139"));
  korvane.Write("quit\n");
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::string& output = korvane.Output();

  EXPECT_NE(output.find("Main:   File: 'a.txt'\nPacket data: \n [" +
                        testing_support::kExampleHeaderHex + "]\n\n" +
                        testing_support::kExampleHeaderReport),
            std::string::npos)
      << output;
  // A wrong third line: kept in the work directory, and said so.
  EXPECT_NE(output.find("  Main:  WARNING: File 'b.txt' holds no usable packet; it is kept in "
                        "the work directory\n"),
            std::string::npos)
      << output;
  EXPECT_NE(output.find("Main:   File: 'c.txt'\nPacket data: \n [010000]\n\n\nEGTS Transport "
                        "Layer:\n---------------------\n  Validating result   - 139 (ERROR: "
                        "Incorrect data length)\n\n"),
            std::string::npos)
      << output;
  EXPECT_EQ(Count(output, "File: '"), 2u) << output;
  EXPECT_TRUE(FileNames(dirs.in).empty());
  EXPECT_EQ(FileNames(dirs.work), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_NE(output.find(kStopped), std::string::npos);
}

TEST(WorkThreadEndToEnd, ADroppedFileReplacesOneOfTheSameNameInTheWorkDirectory) {
  ServerDirectories dirs;
  std::filesystem::create_directories(dirs.work);
  std::filesystem::create_directories(dirs.in);
  WriteFile(dirs.work + "/a.txt", "old");
  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  const std::string content = kPacketFileHeader + Text(FromHex("0100000B000000"));
  dirs.Drop("a.txt", content);
  ASSERT_TRUE(korvane.WaitForOutput("Main:   File: 'a.txt'"));
  korvane.Write("quit\n");
  ASSERT_EQ(korvane.WaitForExit(), 0);
  EXPECT_EQ(ReadFile(dirs.work + "/a.txt"), content);
}

// <yyyymmddhhmmss><digit>_<recipient>.txt
bool IsOutgoingName(const std::string& name, const std::string& recipient) {
  const std::string tail = "_" + recipient + ".txt";
  if (name.size() != 15 + tail.size() || name.compare(15, tail.size(), tail) != 0) return false;
  return std::all_of(name.begin(), name.begin() + 15, [](char c) { return c >= '0' && c <= '9'; });
}

// The packet of the protocol example with its PID, RN and CID replaced and
// both check sums computed anew.
Bytes CommandPacket(const std::string& exampleHex, uint16_t pid, uint16_t rn, uint32_t cid) {
  Bytes packet = FromHex(exampleHex);
  packet[7] = static_cast<uint8_t>(pid);
  packet[8] = static_cast<uint8_t>(pid >> 8);
  packet[10] = Crc8(packet.data(), 10);
  packet[13] = static_cast<uint8_t>(rn);
  packet[14] = static_cast<uint8_t>(rn >> 8);
  for (int i = 0; i < 4; ++i) packet[26 + i] = static_cast<uint8_t>(cid >> (8 * i));
  const uint16_t sfrcs = Crc16(packet.data() + 11, static_cast<uint16_t>(packet.size() - 13));
  packet[packet.size() - 2] = static_cast<uint8_t>(sfrcs);
  packet[packet.size() - 1] = static_cast<uint8_t>(sfrcs >> 8);
  return packet;
}

const std::string kEcallReqExample =
    "0100000B001E00010001A91300010059D204000004043310005002010000000000000001000012010109BF";
const std::string kSelftestExample =
    "0100000B002100010001481600010059" "4D000000040433130050000A000000000000000100020802D2040000DAA8";

TEST(WorkThreadEndToEnd, CommandPacketsAreDumpedAndWrittenWithTheirCounters) {
  ServerDirectories dirs;
  const auto started = static_cast<uint32_t>(std::time(nullptr));
  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  const auto running = static_cast<uint32_t>(std::time(nullptr));
  // Queued at once: every one is taken, none waits for a later command.
  korvane.Write(
      "command EGTS_ECALL_REQ 112 1234 1\n"
      "command EGTS_SELFTEST_INTERVAL 112 77 1234\n"
      "command EGTS_SIM_PIN 79001234567 77 1234\n");
  korvane.CloseInput();
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::string& output = korvane.Output();

  const std::string dump = "Main: \nCommand ID [";
  const size_t at = output.find(dump);
  ASSERT_NE(at, std::string::npos) << output;
  const auto cid = static_cast<uint32_t>(std::stoul(output.substr(at + dump.size())));
  EXPECT_TRUE(cid >= (started & 0x0FFF) + 1 && cid <= (running & 0x0FFF) + 1) << cid;

  const std::vector<std::string> names = FileNames(dirs.out);
  ASSERT_EQ(names.size(), 3u) << output;
  for (const std::string& file : names) {
    EXPECT_TRUE(IsOutgoingName(file, "112") || IsOutgoingName(file, "79001234567")) << file;
  }

  // Name digits 2, 3, 4 are the record numbers after their increment.
  auto fileWithDigit = [&](char digit) {
    for (const std::string& file : names) {
      if (file[14] == digit) return ReadFile(dirs.out + "/" + file);
    }
    return std::string();
  };
  const std::string first = fileWithDigit('2');
  const std::string header = "000002\r\n112\r\n1 4\r\n";
  ASSERT_EQ(first.compare(0, header.size(), header), 0) << first;
  const size_t packetStart = first.find("\r\n", header.size()) + 2;
  EXPECT_EQ(first.substr(packetStart), Text(CommandPacket(kEcallReqExample, 1, 1, cid)));

  const std::string second = fileWithDigit('3');
  EXPECT_EQ(second.compare(0, 8, "000003\r\n"), 0);
  EXPECT_EQ(second.substr(second.size() - 46), Text(CommandPacket(kSelftestExample, 2, 2, cid + 1)));
  const std::string third = fileWithDigit('4');
  EXPECT_EQ(third.compare(0, 21, "000004\r\n79001234567\r\n"), 0);
  EXPECT_EQ(Count(output, "Packet Data: \n "), 3u);
  EXPECT_TRUE(std::filesystem::is_empty(dirs.in));
}

TEST(WorkThreadEndToEnd, OutgoingFilesNeverReplaceEachOther) {
  ServerDirectories dirs;
  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  // Twelve commands for one number: record digits repeat within a second.
  std::string commands;
  for (int i = 0; i < 12; ++i) commands += "command EGTS_SIM_PIN 112 1 " + std::to_string(i) + "\n";
  korvane.Write(commands);
  korvane.CloseInput();
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::vector<std::string> names = FileNames(dirs.out);
  ASSERT_EQ(names.size(), 12u) << korvane.Output();
  for (const std::string& file : names) EXPECT_EQ(file.substr(file.size() - 8), "_112.txt");
}

// A port that is taken for as long as the object lives.
struct TakenPort {
  std::unique_ptr<platform::ListeningSocket> socket =
      std::move(*platform::ListeningSocket::Open("127.0.0.1", 0, 1));
  std::string Arg() const { return "-b:127.0.0.1:" + std::to_string(*socket->Port()); }
};

TEST(WorkThreadEndToEnd, ListenerFailureStopsTheServerOnlyWithoutIncomingDirectory) {
  TakenPort port;
  const std::string failure = "Main:  ERROR: Server Socket Initialization failed (error:98)\n";
  {
    KorvaneProcess korvane({port.Arg()});
    ASSERT_TRUE(korvane.WaitForOutput("WARNING: can not start work thread\n"));
    korvane.Write("command EGTS_SIM_PIN 112 1 1\n");
    korvane.CloseInput();
    ASSERT_EQ(korvane.WaitForExit(), 0);
    EXPECT_NE(korvane.Output().find(failure), std::string::npos) << korvane.Output();
    EXPECT_NE(korvane.Output().find(
                  "WARNING: Command was not queued: the work thread is not running\n"),
              std::string::npos);
  }
  ServerDirectories dirs;
  std::vector<std::string> args = dirs.Args();
  args.push_back(port.Arg());
  KorvaneProcess korvane(args);
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  korvane.Write("command EGTS_SIM_PIN 112 1 1\n");
  korvane.CloseInput();
  ASSERT_EQ(korvane.WaitForExit(), 0);
  EXPECT_NE(korvane.Output().find(failure), std::string::npos) << korvane.Output();
  EXPECT_EQ(korvane.Output().find("can not start"), std::string::npos);
  EXPECT_EQ(FileNames(dirs.out).size(), 1u) << "the directory service runs without a listener";
}

TEST(WorkThreadEndToEnd, WithoutIncomingDirectoryCommandsHaveNoQueue) {
  uint16_t free;
  {
    TakenPort port;
    free = *port.socket->Port();
  }
  KorvaneProcess korvane({"-b:127.0.0.1:" + std::to_string(free)});
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  korvane.Write("command EGTS_SIM_PIN 112 1 1\n");
  korvane.CloseInput();
  ASSERT_EQ(korvane.WaitForExit(), 0);
  EXPECT_NE(korvane.Output().find("\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=1 SIM_PIN=1\n\n"
                                  "WARNING: Command was not queued: there is no command queue "
                                  "without an incoming directory (-n:)\n"),
            std::string::npos)
      << korvane.Output();
  EXPECT_NE(korvane.Output().find(kStopped), std::string::npos);
}

TEST(WorkThreadEndToEnd, MissingParentDirectoryStopsTheSetUp) {
  ScratchDirectory root{"korvane_server"};
  const std::string in = root / "missing/in";
  KorvaneProcess korvane({"-n:" + in, "-w:" + (root / "work"), "-o:" + (root / "out")});
  ASSERT_TRUE(korvane.WaitForOutput("WARNING: can not start work thread\n"));
  korvane.CloseInput();
  ASSERT_EQ(korvane.WaitForExit(), 0);
  EXPECT_NE(korvane.Output().find("Main:  ERROR: IncDirectory '" + in + "' is not exists (err:3)\n"),
            std::string::npos)
      << korvane.Output();
}

}  // namespace

namespace {

std::string NotRegularLine(const std::string& name, const std::string& kind) {
  return "Main:  WARNING: '" + name + "' in the incoming directory is not a regular file (" +
         kind + "); it is left alone\n";
}

}  // namespace

// A link, a FIFO and a directory named like packet files are neither
// followed, moved nor waited on: one line each, once, and a regular file
// dropped after them is still reported.
TEST(WorkThreadEndToEnd, EntriesThatAreNotRegularFilesAreLeftAlone) {
  ServerDirectories dirs;
  std::filesystem::create_directories(dirs.in);
  const std::string secret = dirs.root / "secret.txt";
  WriteFile(secret, kPacketFileHeader + Text(FromHex(testing_support::kExampleHeaderHex)));
  std::filesystem::create_symlink(secret, dirs.in + "/link.txt");
  ASSERT_EQ(::mkfifo((dirs.in + "/fifo.txt").c_str(), 0600), 0);
  std::filesystem::create_directories(dirs.in + "/folder.txt");

  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput(NotRegularLine("link.txt", "symbolic link")));
  // Another change of the directory scans it again: no second warning.
  dirs.Drop("a.txt", kPacketFileHeader + Text(FromHex(testing_support::kExampleHeaderHex)));
  ASSERT_TRUE(korvane.WaitForOutput("Main:   File: 'a.txt'"));
  dirs.Drop("b.txt", kPacketFileHeader + Text(FromHex(testing_support::kExampleHeaderHex)));
  ASSERT_TRUE(korvane.WaitForOutput("Main:   File: 'b.txt'"));
  korvane.Write("quit\n");
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::string& output = korvane.Output();

  EXPECT_EQ(Count(output, NotRegularLine("link.txt", "symbolic link")), 1u);
  EXPECT_EQ(Count(output, NotRegularLine("fifo.txt", "FIFO")), 1u);
  EXPECT_EQ(Count(output, NotRegularLine("folder.txt", "directory")), 1u);
  EXPECT_EQ(Count(output, "Packet data:"), 2u) << output;  // a.txt and b.txt only
  EXPECT_EQ(Count(output, "Can not move"), 0u);
  EXPECT_TRUE(std::filesystem::is_symlink(dirs.in + "/link.txt"));
  EXPECT_TRUE(std::filesystem::is_fifo(dirs.in + "/fifo.txt"));
  EXPECT_TRUE(std::filesystem::is_directory(dirs.in + "/folder.txt"));
  EXPECT_TRUE(std::filesystem::is_regular_file(secret));
  EXPECT_FALSE(std::filesystem::exists(dirs.work + "/link.txt"));
}

// A file that its writer holds open while files stream through the
// incoming directory keeps no terminal waiting: all three are accepted and
// answered. The held file costs one error line, and one more line when it
// is taken at last.
TEST(WorkThreadEndToEnd, AHeldFileAndAStreamOfFilesStarveNoTerminal) {
  if (ReadFile("/proc/sys/fs/leases-enable") == "0\n") GTEST_SKIP() << "leases are disabled";
  ServerDirectories dirs;
  std::filesystem::create_directories(dirs.in);
  const std::string packet = Text(FromHex(testing_support::kExampleHeaderHex));
  std::vector<std::string> args = dirs.Args();
  args.push_back("-r");
  testing_support::Server server(args);
  ASSERT_TRUE(server.Ready());
  // Opened once the server runs: the server must not inherit the writer.
  std::ofstream writer(dirs.in + "/held.txt", std::ios::binary);
  writer << kPacketFileHeader << std::flush;
  std::atomic<bool> streaming{true};
  std::thread stream([&] {
    for (int i = 0; streaming.load(); ++i) {
      dirs.Drop(StringPrintf("s%04d.txt", i), kPacketFileHeader + packet);
      std::this_thread::sleep_for(50ms);
    }
  });
  int answered = 0;
  for (int i = 0; i < 3; ++i) {
    testing_support::Terminal terminal(server.Port());
    terminal.Send(testing_support::IdentityPacket(1, 1));
    terminal.ReadPacket();  // the confirmation
    const Bytes answer = terminal.ReadPacket();
    if (answer.size() > 11 && answer[9] == 1) ++answered;  // the RESULT_CODE packet
  }
  EXPECT_EQ(answered, 3);
  const bool refused =
      server.WaitFor("Main:  ERROR: Can not move file 'held.txt' to the work directory\n");
  writer << packet;
  writer.close();
  const bool taken = server.WaitFor("Main:   File: 'held.txt'");
  streaming = false;
  stream.join();
  const std::string output = server.Quit();
  EXPECT_TRUE(refused && taken) << output;
  EXPECT_EQ(Count(output, "Can not move file"), 1u);
  EXPECT_EQ(Count(output, "Main:  INFO: File 'held.txt' moved to the work directory after "), 1u);
  EXPECT_EQ(ReadFile(dirs.work + "/held.txt"), kPacketFileHeader + packet);
}

// 129 characters ending in "quit": nothing of the line runs, not even its
// tail; a line of 125 characters is still taken.
TEST(WorkThreadEndToEnd, ALineLongerThanTheConsoleTakesIsRefusedWhole) {
  ServerDirectories dirs;
  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput(kPrompt));
  const std::string head = "command EGTS_SIM_PIN 112 1 ";
  const std::string tooLong = head + std::string(129 - head.size() - 4, '1') + "quit";
  const std::string longest = "command EGTS_SIM_PIN 112 7 1" + std::string(125 - 28, ' ');
  korvane.Write(tooLong + "\n" + longest + "\ncommand EGTS_SIM_PIN 112 5 1\nquit\n");
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::string& output = korvane.Output();
  EXPECT_EQ(Count(output, "\nERROR: The line is longer than 125 characters and was ignored\n"), 1u)
      << output;
  EXPECT_EQ(Count(output, "\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=1 "), 0u);
  EXPECT_EQ(Count(output, "\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=7 SIM_PIN=1\n"), 1u);
  EXPECT_EQ(Count(output, "\nCommand 'EGTS_SIM_PIN' RCP_NUM='112' DEV_ID=5 SIM_PIN=1\n"), 1u);
  EXPECT_EQ(FileNames(dirs.out).size(), 2u);
}

// Names from the incoming directory never reach the console raw; a user's
// file of any name is the user's; a hard link is left where it is.
TEST(WorkThreadEndToEnd, NamesAreEscapedAndNoUsersFileIsTakenForTheServersOwn) {
  ServerDirectories dirs;
  std::filesystem::create_directories(dirs.in);
  const std::string content = kPacketFileHeader + Text(FromHex(testing_support::kExampleHeaderHex));
  WriteFile(dirs.in + "/~~~~~.txt", content);
  WriteFile(dirs.root / "secret.txt", content);
  std::filesystem::create_hard_link(dirs.root / "secret.txt", dirs.in + "/linked.txt");

  KorvaneProcess korvane(dirs.Args());
  ASSERT_TRUE(korvane.WaitForOutput("Main:   File: '~~~~~.txt'\nPacket data: "));
  ASSERT_TRUE(korvane.WaitForOutput(NotRegularLine("linked.txt", "hard link")));
  dirs.Drop("\x1B[2Jclear.txt", content);
  dirs.Drop("\x1B]0;title\x07.txt", "not a packet file");
  ASSERT_TRUE(korvane.WaitForOutput("Main:   File: '\\x1B[2Jclear.txt'\nPacket data: "));
  ASSERT_TRUE(korvane.WaitForOutput(
      "Main:  WARNING: File '\\x1B]0;title\\x07.txt' holds no usable packet; it is kept in the "
      "work directory\n"));
  korvane.Write("quit\n");
  ASSERT_EQ(korvane.WaitForExit(), 0);
  const std::string& output = korvane.Output();
  EXPECT_EQ(output.find('\x1B'), std::string::npos) << output;
  EXPECT_EQ(Count(output, NotRegularLine("linked.txt", "hard link")), 1u);
  EXPECT_EQ(ReadFile(dirs.work + "/~~~~~.txt"), content);
  EXPECT_TRUE(std::filesystem::is_regular_file(dirs.in + "/linked.txt"));
  EXPECT_FALSE(std::filesystem::exists(dirs.work + "/linked.txt"));
  EXPECT_EQ(std::filesystem::hard_link_count(dirs.root / "secret.txt"), 2u);
}
