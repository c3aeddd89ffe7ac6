#include <gtest/gtest.h>

#include "support/example_header.h"
#include "transport/result_codes.h"
#include "util/text.h"
#include "transport/transport_report.h"

TEST(ResultCodeText, TableEdgesAndLowByte) {
  EXPECT_STREQ(ResultCodeText(0), "OK");
  EXPECT_STREQ(ResultCodeText(151), "Authentification denied");
  EXPECT_STREQ(ResultCodeText(165), "Unknown service subrecord type");
  for (unsigned code : {2u, 127u, 166u, 255u}) EXPECT_STREQ(ResultCodeText(code), "Unspecified");
  EXPECT_STREQ(ResultCodeText(256), "OK");
}

TEST(BitStringText, Widths) {
  EXPECT_EQ(BitString(3, 2), "11");
  EXPECT_EQ(BitString(5, 8), "00000101");
  EXPECT_EQ(BitString(9, 4), "1001");
}

TEST(TransportReport, ExampleHeaderWholeText) {
  TransportHeader h;
  h.flags = 0x03;
  h.HL = 11;
  h.PID = 1;
  h.PT = 1;
  h.HCS = 0xB8;
  EXPECT_EQ(FormatTransportResult(0, h), testing_support::kExampleHeaderReport);
}

TEST(TransportReport, RouteBlockAndHighestPriority) {
  TransportHeader h;
  h.flags = 0x20;
  h.PRA = 10;
  h.RCA = 20;
  h.TTL = 30;
  const std::string text = FormatTransportReport(h);
  EXPECT_NE(text.find("       Route          -   1\n"), std::string::npos);
  EXPECT_NE(text.find("       Priority       -       00 (the highest)\n"), std::string::npos);
  EXPECT_NE(text.find("  Packet ID           - 0\n"
                      "  Peer Address        - 10\n  Recipient Address   - 20\n"
                      "  TTL                 - 30\n  Header Check Sum"),
            std::string::npos);
}

TEST(TransportReport, ErrorCodeHasNoReport) {
  TransportHeader h;
  EXPECT_EQ(FormatTransportResult(128, h),
            "\nEGTS Transport Layer:\n---------------------\n"
            "  Validating result   - 128 (ERROR: Unsupported protocol version)\n\n");
  EXPECT_EQ(FormatValidatingResult(137, "00ABCD"),
            "00ABCD\nEGTS Transport Layer:\n---------------------\n"
            "  Validating result   - 137 (ERROR: Header check sum error)\n\n");
}
