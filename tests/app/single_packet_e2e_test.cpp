// Runs the built korvane binary in single-packet mode with real pipes.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "support/example_header.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"

namespace {

using namespace testing_support;

const std::string kSeparator =
    "\n-------------------------------------------------------------\n";
const std::string kKeyPrompt = "Press any key to exit...\n";


std::string TempFile(const std::string& name, const std::string& content) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary) << content;
  return path;
}

TEST(SinglePacketEndToEnd, NoArguments) {
  const RunResult r = RunKorvaneBinary({}, "");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, BannerText() + "WARNING: packet data not found\n" + kSeparator + kKeyPrompt);
}

TEST(SinglePacketEndToEnd, ConsoleHexWithSeparators) {
  const RunResult r = RunKorvaneBinary({"-c"}, "01 00 03 0B\n00 00 00 01\n00 01 B8\n");
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(r.output, BannerText() + "Packet data: \n " + kExampleHeaderHex + "\n\n" +
                          kExampleHeaderReport + kSeparator + kKeyPrompt);
}

TEST(SinglePacketEndToEnd, ConsoleOddAndNonHexInput) {
  RunResult r = RunKorvaneBinary({"-c"}, "zz");
  EXPECT_EQ(r.output, BannerText() + "WARNING: packet data not found\n" + kSeparator + kKeyPrompt);
  r = RunKorvaneBinary({"-c"}, "01000");
  EXPECT_NE(r.output.find("Packet data: \n 0100\n\n"), std::string::npos);
  EXPECT_NE(r.output.find("Validating result   - 139 (ERROR: Incorrect data length)\n\n" +
                          kSeparator),
            std::string::npos);
}

TEST(SinglePacketEndToEnd, RawFileIsNotHexText) {
  const std::string path = TempFile("two_bytes.bin", "01");
  const RunResult r = RunKorvaneBinary({"-f:" + path}, "");
  EXPECT_EQ(r.output, BannerText() + "File: '" + path + "'\nPacket data: \n 3031\n\n" +
                          "\nEGTS Transport Layer:\n---------------------\n"
                          "  Validating result   - 139 (ERROR: Incorrect data length)\n\n" +
                          kSeparator + kKeyPrompt);
}

TEST(SinglePacketEndToEnd, MissingFile) {
  const RunResult r = RunKorvaneBinary({"-f:/nonexistent/p.bin"}, "");
  EXPECT_EQ(r.output, BannerText() + "ERROR: can not open file '/nonexistent/p.bin' 2\n" +
                          "WARNING: packet data not found\n" + kSeparator + kKeyPrompt);
}

TEST(SinglePacketEndToEnd, FatalOptionSuppressesInput) {
  const RunResult r = RunKorvaneBinary({"-f:", "-c"}, kExampleHeaderHex);
  EXPECT_EQ(r.output, BannerText() + "ERROR: No file name found for parameter -f:\n" +
                          kSeparator + kKeyPrompt);
}

TEST(SinglePacketEndToEnd, OversizedPacketIsCheckedOnItsFirst65535Bytes) {
  Bytes packet = PacketBytes(1, Bytes(100, 0));
  packet.resize(65536, 0xAA);
  std::string hex;
  for (uint8_t b : packet) {
    char pair[3];
    std::snprintf(pair, sizeof pair, "%.2X", b);
    hex += pair;
  }
  const RunResult r = RunKorvaneBinary({"-c"}, hex);
  EXPECT_NE(r.output.find("Packet data: \n " + hex + "\n\n"), std::string::npos)
      << "the dump shows every byte";
  EXPECT_NE(r.output.find("Validating result   - 0 (OK)"), std::string::npos);
  EXPECT_NE(r.output.find("  Frame Data Length   - 100\n"), std::string::npos);
}

TEST(SinglePacketEndToEnd, ServerModeUntilQuit) {
  const RunResult r = RunKorvaneBinary({"-b:127.0.0.1"}, "quit\n");
  EXPECT_EQ(r.output, BannerText() + "WARNING: packet data not found\n" + kSeparator + kKeyPrompt)
      << "-b: without a port colon is ignored";
}

}  // namespace
