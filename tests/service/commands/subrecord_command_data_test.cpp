#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "service/commands/subrecord_command_data.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

namespace {

using EGTS::Subrecord_COMMAND_DATA;
using testing_support::Bytes;
using testing_support::ToBytes;

// Fills a command from a heap copy of exactly the given bytes, so that the
// address sanitizer sees any read past SRD.
uint8_t Fill(Subrecord_COMMAND_DATA& command, const Bytes& srd) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[srd.size() + 1]);
  std::memcpy(copy.get(), srd.data(), srd.size());
  return command.Decode(copy.get(), static_cast<uint16_t>(srd.size()));
}

Bytes Encoded(Subrecord_COMMAND_DATA& command) {
  EGTS::bytestream out;
  EXPECT_EQ(command.Encode(out), EGTS::EGTS_PC_OK);
  EXPECT_EQ(out.position, out.bytes.size());
  return out.bytes;
}

std::string ReportOf(const Subrecord_COMMAND_DATA& command) {
  std::string text = "previous content";
  command.Report(&text);
  return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

const Bytes kSelftestInterval = {0x51, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x00,
                                 0x01, 0x00, 0x02, 0x08, 0x02, 0x10, 0x27, 0x00, 0x00};

TEST(SubrecordCommandData, CommandFormFillEncodeAndReport) {
  Subrecord_COMMAND_DATA command;
  ASSERT_EQ(Fill(command, kSelftestInterval), EGTS::EGTS_PC_OK);
  EXPECT_EQ(command.CT(), 5);
  EXPECT_EQ(command.CCT(), 1);
  EXPECT_EQ(command.CID(), 1u);
  EXPECT_EQ(command.SID(), 2u);
  EXPECT_EQ(command.Flags(), 0);
  EXPECT_TRUE(command.AC().empty());
  EXPECT_EQ(ToBytes(command.CD()), Bytes(kSelftestInterval.begin() + 10, kSelftestInterval.end()));

  EXPECT_EQ(command.EncodedLength(), 19);
  EXPECT_EQ(Encoded(command), kSelftestInterval);

  EXPECT_EQ(ReportOf(command),
            "       Command Type           - 0101b (EGTS_CT_COM)\n"
            "       Confirmation Type      -     0001b (EGTS_CC_ERROR)\n"
            "       Command Identifier     - 1\n"
            "       Source Identifier      - 2\n"
            "       Flags                  - 00000000b (0x00)\n"
            "         ACFE                 -       0\n"
            "         CHSFE                -        0\n"
            "       Command Data           - 010002080210270000\n"
            "           Address            - 1\n"
            "           SZ                 - 0000b\n"
            "           ACT                -     0010b\n"
            "           Command Code       - 0x0208 (EGTS_SELFTEST_INTERVAL)\n");
}

TEST(SubrecordCommandData, ConfirmationResultLineOnlyForSelftestResult) {
  Subrecord_COMMAND_DATA confirmation;
  confirmation.SetCT(EGTS::EGTS_CT_COMCONF);
  confirmation.SetCD({0x01, 0x00, 0x02, 0x00, 0x4F, 0x4B});
  EXPECT_EQ(ReportOf(confirmation),
            "       Command Type           - 0001b (EGTS_CT_COMCONF)\n"
            "       Confirmation Type      -     0000b (EGTS_CC_OK)\n"
            "       Command Identifier     - 0\n"
            "       Source Identifier      - 0\n"
            "       Flags                  - 00000000b (0x00)\n"
            "         ACFE                 -       0\n"
            "         CHSFE                -        0\n"
            "       Command Data           - 010002004F4B\n"
            "           Address            - 1\n"
            "           Command Code       - 0x0002 (EGTS_SELFTEST_RESULT)\n"
            "           Result             - OK\n");

  // The result text ends at its first zero byte.
  confirmation.SetCD({0x01, 0x00, 0x02, 0x00, 0x4F, 0x00, 0x4B});
  EXPECT_NE(ReportOf(confirmation).find("           Result             - O\n"),
            std::string::npos);

  confirmation.SetCD({0x01, 0x00, 0x12, 0x01, 0x4F, 0x4B});
  const std::string text = ReportOf(confirmation);
  EXPECT_NE(text.find("Command Code       - 0x0112 (EGTS_ECALL_REQ)\n"), std::string::npos);
  EXPECT_EQ(text.find("Result"), std::string::npos);

  // CT 3 uses the confirmation form too; a command-form CT reads CCD one
  // byte further on.
  confirmation.SetCT(EGTS::EGTS_CT_MSGFROM);
  confirmation.SetCD({0x01, 0x00, 0x02, 0x00, 0x4F, 0x4B});
  EXPECT_NE(ReportOf(confirmation).find("- OK\n"), std::string::npos);
  confirmation.SetCT(EGTS::EGTS_CT_MSGCONF);
  const std::string command = ReportOf(confirmation);
  EXPECT_NE(command.find("Command Code       - 0x4F00 (unspecified)\n"), std::string::npos);
  EXPECT_EQ(command.find("Result"), std::string::npos);
}

TEST(SubrecordCommandData, ShortCommandDataHasNoDetailLines) {
  Subrecord_COMMAND_DATA command;
  command.SetCT(EGTS::EGTS_CT_COM);
  command.SetCD({0x01, 0x00, 0x02, 0x08});
  EXPECT_TRUE(EndsWith(ReportOf(command), "       Command Data           - 01000208\n"));

  // Four bytes are enough for a confirmation, three are not.
  command.SetCT(EGTS::EGTS_CT_COMCONF);
  EXPECT_NE(ReportOf(command).find("Command Code       - 0x0802"), std::string::npos);
  command.SetCD({0x01, 0x00, 0x02});
  EXPECT_EQ(ReportOf(command).find("Address"), std::string::npos);
}

TEST(SubrecordCommandData, CharsetAndAuthCode) {
  const Bytes srd = {0x50, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x03,
                     0x00,                    // CHS
                     0x04, 0xDE, 0xAD, 0xBE, 0xEF,  // ACL, AC
                     0x01, 0x00, 0x02, 0x04, 0x04, 0x4D, 0x00, 0x00, 0x00};
  Subrecord_COMMAND_DATA command;
  ASSERT_EQ(Fill(command, srd), EGTS::EGTS_PC_OK);
  EXPECT_EQ(command.CHS(), 0);
  EXPECT_EQ(command.ACL(), 4);
  EXPECT_EQ(ToBytes(command.AC()), (Bytes{0xDE, 0xAD, 0xBE, 0xEF}));
  EXPECT_EQ(ToBytes(command.CD()), Bytes(srd.begin() + 16, srd.end()));
  EXPECT_EQ(command.EncodedLength(), srd.size());
  EXPECT_EQ(Encoded(command), srd);

  const std::string text = ReportOf(command);
  EXPECT_NE(text.find("       Flags                  - 00000011b (0x03)\n"
                      "         ACFE                 -       1\n"
                      "         CHSFE                -        1\n"
                      "       Auth Code Length       - 4\n"
                      "       AuthCode               - DEADBEEF\n"
                      "       Charset                - 0\n"
                      "       Command Data           - 0100020404"),
            std::string::npos);
  EXPECT_NE(text.find("Command Code       - 0x0404 (EGTS_UNIT_ID)\n"), std::string::npos);

  // Charset alone: CD starts right after CHS.
  Subrecord_COMMAND_DATA charset;
  ASSERT_EQ(Fill(charset, {0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0x01, 0x07, 0xAA}), EGTS::EGTS_PC_OK);
  EXPECT_EQ(charset.CHS(), 7);
  EXPECT_EQ(ToBytes(charset.CD()), Bytes{0xAA});
}

TEST(SubrecordCommandData, EncodeKeepsOtherFlagBitsAndCountsTheAuthCode) {
  Subrecord_COMMAND_DATA command;
  command.SetCT(0x1F);  // only the low four bits reach the wire
  command.SetCCT(0x12);
  command.SetFlags(0x80);
  command.SetAuthCode({0x41, 0x42});  // ACL and ACFE with it
  command.SetCHS(7);
  EXPECT_EQ(command.EncodedLength(), 14);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // Encode starts from an empty stream
  ASSERT_EQ(command.Encode(out), EGTS::EGTS_PC_OK);
  EXPECT_EQ(out.bytes, (Bytes{0xF2, 0, 0, 0, 0, 0, 0, 0, 0, 0x83, 0x07, 0x02, 0x41, 0x42}));
  EXPECT_NE(ReportOf(command).find("Auth Code Length       - 2\n"
                                   "       AuthCode               - 4142\n"
                                   "       Charset                - 7\n"),
            std::string::npos);

  // Flags without ACFE and CHSFE take ACL, AC and CHS off the wire.
  command.SetFlags(0x80);
  EXPECT_EQ(command.EncodedLength(), 10);
  EXPECT_EQ(Encoded(command), (Bytes{0xF2, 0, 0, 0, 0, 0, 0, 0, 0, 0x80}));
}

TEST(SubrecordCommandData, FillRefusesTooShortData) {
  Subrecord_COMMAND_DATA command;
  EXPECT_EQ(command.Decode(nullptr, 10), EGTS::EGTS_PC_NOTEN_PARAMS);
  EXPECT_EQ(Fill(command, Bytes(9, 0)), EGTS::EGTS_PC_INVDATALEN);
  // CHS announced but missing; ACL announced but missing; AC past the end.
  EXPECT_EQ(Fill(command, {0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}), EGTS::EGTS_PC_INVDATALEN);
  EXPECT_EQ(Fill(command, {0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0x03, 0x00}), EGTS::EGTS_PC_INVDATALEN);
  EXPECT_EQ(Fill(command, {0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x03, 0x41, 0x42}),
            EGTS::EGTS_PC_INVDATALEN);
  EXPECT_EQ(command.CT(), 0);  // a refused SRD leaves the object as it was
  EXPECT_EQ(command.Flags(), 0);

  // An AC that ends exactly at the end of SRD is fine and leaves CD empty.
  ASSERT_EQ(Fill(command, {0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0x02, 0x02, 0x41, 0x42}),
            EGTS::EGTS_PC_OK);
  EXPECT_EQ(ToBytes(command.AC()), (Bytes{0x41, 0x42}));
  EXPECT_TRUE(command.CD().empty());
  EXPECT_TRUE(EndsWith(ReportOf(command), "       Command Data           - \n"));
}

TEST(SubrecordCommandData, FillAcceptsExactlyWhatFitsInSrd) {
  // Every flags/ACL combination over lengths 10..16: the fill succeeds
  // exactly when CHS, ACL and AC fit, and then encodes back to the input.
  for (uint8_t flags : {0x00, 0x01, 0x02, 0x03, 0xFF}) {
    for (uint8_t acl : {0, 1, 3, 200}) {
      for (size_t srl = 10; srl <= 16; ++srl) {
        Bytes srd(srl, 0x5A);
        srd[9] = flags;
        const size_t aclAt = (flags & 1) ? 11 : 10;
        if (aclAt < srl) srd[aclAt] = acl;
        bool fits = !(flags & 1) || srl >= 11;
        if (flags & 2) fits = fits && aclAt < srl && aclAt + 1 + srd[aclAt] <= srl;

        Subrecord_COMMAND_DATA command;
        const uint8_t result = Fill(command, srd);
        EXPECT_EQ(result, fits ? EGTS::EGTS_PC_OK : EGTS::EGTS_PC_INVDATALEN)
            << "flags " << int(flags) << " acl " << int(acl) << " srl " << srl;
        if (result == EGTS::EGTS_PC_OK) {
          EXPECT_EQ(Encoded(command), srd);
        }
      }
    }
  }
}

TEST(SubrecordCommandData, CopyCarriesDeviceAndRecipient) {
  Subrecord_COMMAND_DATA command;
  ASSERT_EQ(Fill(command, kSelftestInterval), EGTS::EGTS_PC_OK);
  command.DEV_ID = 77;
  command.RCP_NUM = "79001234567";
  const Subrecord_COMMAND_DATA copy(command);
  EXPECT_EQ(copy.DEV_ID, 77u);
  EXPECT_EQ(copy.RCP_NUM, "79001234567");
  EXPECT_EQ(ReportOf(copy), ReportOf(command));
}

TEST(SubrecordCommandData, Names) {
  EXPECT_STREQ(EGTS::CommandCodeName(1028), "EGTS_UNIT_ID");
  EXPECT_STREQ(EGTS::CommandCodeName(9), "unspecified");
  EXPECT_STREQ(EGTS::CommandCodeName(0x0231), "EGTS_GPRS_WHITE_LIST");
  EXPECT_STREQ(EGTS::CommandCodeName(0x0300), "unspecified");
  EXPECT_STREQ(EGTS::CommandTypeName(8), "EGTS_CT_DELIV");
  EXPECT_STREQ(EGTS::CommandTypeName(9), "unspecified");
  EXPECT_STREQ(EGTS::ConfirmationTypeName(6), "EGTS_CC_INPROG");
  EXPECT_STREQ(EGTS::ConfirmationTypeName(7), "unspecified");

  Subrecord_COMMAND_DATA command;
  command.SetCT(9);
  command.SetCD({0x01, 0x00, 0x00, 0x00, 0x03});
  const std::string text = ReportOf(command);
  EXPECT_NE(text.find("Command Type           - 1001b (unspecified)\n"), std::string::npos);
  EXPECT_NE(text.find("Command Code       - 0x0300 (unspecified)\n"), std::string::npos);
}

}  // namespace
