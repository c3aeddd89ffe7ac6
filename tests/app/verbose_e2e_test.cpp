// The verbose service-layer report (-v), end to end through korvane -c.

#include <gtest/gtest.h>

#include <string>

#include "compose/command_builder.h"
#include "compose/command_packet.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"

namespace {

using namespace testing_support;

std::string HexText(const Bytes& bytes) {
  std::string text = Hex(bytes);
  for (size_t i = 47; i < text.size(); i += 48) text[i] = '\n';  // pasted over lines
  return text;
}

std::string ServiceLayer(const RunResult& r) {
  const size_t start = r.output.find("\nEGTS Service Layer:");
  const size_t end = r.output.find("\n-------------------------------------------------------------\n");
  if (start == std::string::npos || end == std::string::npos) return "";
  return r.output.substr(start, end - start);
}

TEST(VerboseEndToEnd, RecordsAndSubrecordsOfAResponsePacket) {
  const Bytes record1 = RecordBytes(
      {.RN = 1, .RFL = 0x07, .OID = 1001, .EVID = 5, .TM = 86400, .SST = 1, .RST = 1},
      Concat({SubrecordBytes(4, {0x0A, 0x05}), SubrecordBytes(9, {0x8B})}));
  const Bytes record2 = RecordBytes({.RN = 2, .SST = 4, .RST = 1},
                                    Concat({SubrecordBytes(62, {}), SubrecordBytes(99, {0x01})}));
  const Bytes packet = PacketBytes(0, Concat({{0x34, 0x12, 0x00}, record1, record2}));

  const RunResult r = RunKorvaneBinary({"-v", "-c"}, HexText(packet));
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(ServiceLayer(r),
            "\nEGTS Service Layer:\n-------------------\n"
            "  Parsing result      - 0 (OK)\n"
            "  Response Packet ID  - 4660\n"
            "  Processing Result   - 0 (OK)\n"
            "\n  Record 1:\n"
            "    Record Length       - 9\n"
            "    Record Number       - 1\n"
            "    Record Flags        - 00000111b (0x07)\n"
            "    Object ID           - 1001\n"
            "    Event ID            - 5\n"
            "    Time                - 0x00015180 (02.01.2010 00:00:00 GMT)\n"
            "    Source Service      - 1 (EGTS_AUTH_SERVICE)\n"
            "    Recipient Service   - 1 (EGTS_AUTH_SERVICE)\n"
            "    Record Result       - 0 (OK)\n"
            "    Subrecord 1:\n"
            "      Type              - 4 (EGTS_SR_SRV_IDENTITY)\n"
            "      Length            - 2\n"
            "      Result            - 0 (OK)\n"
            "       Service Type           - 10 (EGTS_ECALL_SERVICE)\n"
            "       Service Paramemters    - 5\n"
            "    Subrecord 2:\n"
            "      Type              - 9 (EGTS_SR_AUTH_RESULT_CODE)\n"
            "      Length            - 1\n"
            "      Result            - 0 (OK)\n"
            "       Result Code            - 139 (Incorrect data length)\n"
            "\n  Record 2:\n"
            "    Record Length       - 7\n"
            "    Record Number       - 2\n"
            "    Record Flags        - 00000000b (0x00)\n"
            "    Source Service      - 4 (EGTS_COMMANDS_SERVICE)\n"
            "    Recipient Service   - 1 (EGTS_AUTH_SERVICE)\n"
            "    Record Result       - 0 (OK)\n"
            "    Subrecord 1:\n"
            "      Type              - 62 (EGTS_SR_TRACK_DATA)\n"
            "      Length            - 0\n"
            "      Result            - 0 (OK)\n"
            "    Subrecord 2:\n"
            "      Type              - 99 (unspecified)\n"
            "      Length            - 1\n"
            "      Result            - 165 (ERROR: Unknown service subrecord type)\n");
}

TEST(VerboseEndToEnd, FailedParseAndMalformedRecordArea) {
  Bytes packet = PacketBytes(1, RecordBytes({}, SubrecordBytes(9, {0x00})));
  packet[packet.size() - 1] ^= 0xFF;
  RunResult r = RunKorvaneBinary({"-v", "-c"}, Hex(packet));
  EXPECT_EQ(ServiceLayer(r),
            "\nEGTS Service Layer:\n-------------------\n"
            "  Parsing result      - 138 (ERROR: Data check sum error)\n");

  // A signed packet with an empty record and then a record cut short: the
  // failing record is the last one shown.
  Bytes frame{0x01, 0x00, 0xAB, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x07, 0x00, 0x06};
  r = RunKorvaneBinary({"-v", "-c"}, Hex(PacketBytes(2, frame)));
  EXPECT_EQ(ServiceLayer(r),
            "\nEGTS Service Layer:\n-------------------\n"
            "  Parsing result      - 0 (OK)\n"
            "  Signature Length    - 1\n"
            "\n  Record 1:\n    Record Length       - 0\n    Record Number       - 5\n"
            "    Record Flags        - 00000000b (0x00)\n"
            "    Source Service      - 0 (unspecified)\n    Recipient Service   - 0 (unspecified)\n"
            "    Record Result       - 0 (OK)\n"
            "\n  Record 2:\n    Record Length       - 0\n    Record Number       - 0\n"
            "    Record Flags        - 00000000b (0x00)\n"
            "    Source Service      - 0 (unspecified)\n    Recipient Service   - 0 (unspecified)\n"
            "    Record Result       - 131 (ERROR: Header structure error)\n");
}

TEST(VerboseEndToEnd, WithoutTheOptionNothingIsParsed) {
  const Bytes packet = PacketBytes(1, RecordBytes({}, SubrecordBytes(9, {0x00})));
  const RunResult r = RunKorvaneBinary({"-c"}, Hex(packet));
  EXPECT_EQ(r.output.find("EGTS Service Layer"), std::string::npos);
}

TEST(VerboseEndToEnd, ComposedCommandDecodesBack) {
  EGTS::Subrecord_COMMAND_DATA command = BuildSelftestInterval("112", 77, 1234);
  CommandCounters counters{1, 1, 0x09FF};
  EGTS::bytestream out;
  ASSERT_EQ(ComposeCommandPacket(command, counters, out), 0);
  const RunResult r = RunKorvaneBinary({"-v", "-c"}, Hex(out.bytes));
  const std::string layer = ServiceLayer(r);
  EXPECT_NE(layer.find("    Object ID           - 77\n"), std::string::npos);
  EXPECT_NE(layer.find("      Type              - 51 (EGTS_SR_COMMAND_DATA)\n"
                       "      Length            - 19\n      Result            - 0 (OK)\n"
                       "       Command Type           - 0101b (EGTS_CT_COM)\n"),
            std::string::npos);
  EXPECT_NE(layer.find("       Command Identifier     - 2560\n"), std::string::npos);
  EXPECT_NE(layer.find("           Command Code       - 0x0208 (EGTS_SELFTEST_INTERVAL)\n"),
            std::string::npos);
}

}  // namespace
