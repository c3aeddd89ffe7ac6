#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose/command_builder.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

namespace {

using testing_support::Bytes;
using testing_support::ToBytes;

Bytes Srd(EGTS::Subrecord_COMMAND_DATA command, uint32_t cid) {
  command.SetCID(cid);  // the work thread's job
  EGTS::bytestream out;
  EXPECT_EQ(command.Encode(out), EGTS::EGTS_PC_OK);
  EXPECT_EQ(out.bytes.size(), command.EncodedLength());
  return out.bytes;
}

TEST(CommandBuilder, CommonFields) {
  const EGTS::Subrecord_COMMAND_DATA command = BuildSimPin("79001234567", 77, 1111);
  EXPECT_EQ(command.CT(), EGTS::EGTS_CT_COM);
  EXPECT_EQ(command.CCT(), EGTS::EGTS_CC_OK);
  EXPECT_EQ(command.CID(), 0u);
  EXPECT_EQ(command.SID(), 0u);
  EXPECT_EQ(command.Flags(), 0);
  EXPECT_EQ(command.CHS(), 0);
  EXPECT_EQ(command.ACL(), 0);
  EXPECT_TRUE(command.AC().empty());
  EXPECT_EQ(command.RCP_NUM, "79001234567");
  EXPECT_EQ(command.DEV_ID, 77u);
}

TEST(CommandBuilder, EcallReq) {
  EXPECT_EQ(Srd(BuildEcallReq("112", 1234, 1), 0x0102),
            (Bytes{0x50, 0x02, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x01, 0x00, 0x00, 0x12, 0x01, 0x01}));
  // Only the low 8 bits of the type travel: 300 -> 0x2C.
  const EGTS::Subrecord_COMMAND_DATA command = BuildEcallReq("112", 1, 300);
  EXPECT_EQ(ToBytes(command.CD()), (Bytes{0x01, 0x00, 0x00, 0x12, 0x01, 0x2C}));
}

TEST(CommandBuilder, EcallMsdReq) {
  EXPECT_EQ(Srd(BuildEcallMsdReq("112", 1, 7, 2), 5),
            (Bytes{0x50, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                   0x01, 0x00, 0x00, 0x13, 0x01, 0x07, 0x00, 0x00, 0x00, 0x02}));
  EXPECT_EQ(ToBytes(BuildEcallMsdReq("1", 1, 0x01020304, 0x103).CD()),
            (Bytes{0x01, 0x00, 0x00, 0x13, 0x01, 0x04, 0x03, 0x02, 0x01, 0x03}));
}

TEST(CommandBuilder, UnitIdCarriesAuthCode) {
  const EGTS::Subrecord_COMMAND_DATA command = BuildUnitId("555", 77, "secret");
  EXPECT_EQ(command.Flags(), EGTS::kCommandFlagACFE);
  const Bytes expected = {0x50, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02,
                          0x06, 's',  'e',  'c',  'r',  'e',  't',
                          0x01, 0x00, 0x02, 0x04, 0x04, 0x4D, 0x00, 0x00, 0x00};
  EXPECT_EQ(Srd(command, 5), expected);
  EXPECT_EQ(expected.size(), 20u + 6u);

  // ACL is the code's length modulo 256, and AC holds that many characters.
  const std::string longCode(300, 'k');
  const EGTS::Subrecord_COMMAND_DATA longer = BuildUnitId("555", 77, longCode);
  EXPECT_EQ(longer.ACL(), 44);
  EXPECT_EQ(ToBytes(longer.AC()), Bytes(44, 'k'));
}

TEST(CommandBuilder, U32ParameterCommands) {
  const Bytes selftest = Srd(BuildSelftestInterval("1", 77, 1234), 0x0A00);
  EXPECT_EQ(selftest, (Bytes{0x50, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                             0x01, 0x00, 0x02, 0x08, 0x02, 0xD2, 0x04, 0x00, 0x00}));

  // The others differ only in their command code.
  const struct {
    EGTS::Subrecord_COMMAND_DATA command;
    uint16_t ccd;
  } kCases[] = {
      {BuildSimPin("1", 77, 1234), 0x0205},
      {BuildRadioMuteDelay("1", 77, 1234), 0x0201},
      {BuildRadioUnmuteDelay("1", 77, 1234), 0x0202},
  };
  for (const auto& c : kCases) {
    Bytes expected = selftest;
    expected[13] = static_cast<uint8_t>(c.ccd & 0xFF);
    expected[14] = static_cast<uint8_t>(c.ccd >> 8);
    EXPECT_EQ(Srd(c.command, 0x0A00), expected) << c.ccd;
  }
  EXPECT_EQ(ToBytes(BuildSimPin("1", 1, 0xA1B2C3D4).CD()),
            (Bytes{0x01, 0x00, 0x02, 0x05, 0x02, 0xD4, 0xC3, 0xB2, 0xA1}));
}

}  // namespace
