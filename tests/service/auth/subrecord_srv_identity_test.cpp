// SRV_IDENTITY, AUTH_RESULT_CODE and the service type names.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/subrecord_table.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/auth/subrecord_srv_identity.h"
#include "transport/bytestream.h"

namespace {

TEST(ServiceTypeName, KnownAndUnknownNumbers) {
  EXPECT_STREQ(ServiceTypeName(1), "EGTS_AUTH_SERVICE");
  EXPECT_STREQ(ServiceTypeName(2), "EGTS_TELEDATA_SERVICE");
  EXPECT_STREQ(ServiceTypeName(4), "EGTS_COMMANDS_SERVICE");
  EXPECT_STREQ(ServiceTypeName(9), "EGTS_FIRMWARE_SERVICE");
  EXPECT_STREQ(ServiceTypeName(10), "EGTS_ECALL_SERVICE");
  EXPECT_STREQ(ServiceTypeName(16), "EGTS_LOGGER_SERVICE");
  EXPECT_STREQ(ServiceTypeName(17), "EGTS_NIP_SERVICE");
  EXPECT_STREQ(ServiceTypeName(18), "EGTS_SMS_SERVICE");
  EXPECT_STREQ(ServiceTypeName(0), "unspecified");
  EXPECT_STREQ(ServiceTypeName(3), "unspecified");
  EXPECT_STREQ(ServiceTypeName(257), "unspecified");  // not reduced to 8 bits
}

TEST(SubrecordSrvIdentity, DecodeEncodeAndReport) {
  EGTS::Subrecord_SRV_IDENTITY s;
  const uint8_t srd[] = {0x0A, 0x05, 0x99};
  EXPECT_EQ(s.Decode(nullptr, 2), 134);
  EXPECT_EQ(s.Decode(srd, 1), 139);
  EXPECT_EQ(s.Decode(srd, 3), 0);
  EXPECT_EQ(s.ST(), 10);
  EXPECT_EQ(s.SRVP(), 5);

  std::string text = "stale";
  s.Report(&text);
  EXPECT_EQ(text,
            "       Service Type           - 10 (EGTS_ECALL_SERVICE)\n"
            "       Service Paramemters    - 5\n");

  EGTS::Subrecord_SRV_IDENTITY copy(s);
  copy.SetST(3);
  copy.Report(&text);
  EXPECT_EQ(text,
            "       Service Type           - 3 (unspecified)\n"
            "       Service Paramemters    - 5\n");
  // A service without a name: null in JSON, which only the field list holds.
  EGTS::FieldList fields;
  copy.Describe(fields);
  ASSERT_EQ(fields.size(), 3u);
  EXPECT_EQ(fields[1].name, "ST_name");
  EXPECT_EQ(fields[1].kind, EGTS::Field::Kind::kNull);
  EGTS::FieldList named;
  s.Describe(named);
  EXPECT_EQ(named[1].textValue, "EGTS_ECALL_SERVICE");

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // appended after what the stream holds
  EXPECT_EQ(s.Encode(out), 0);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0xEE, 0x0A, 0x05}));
  EXPECT_EQ(s.EncodedLength(), 2);
}

TEST(SubrecordAuthResultCode, DecodeEncodeAndReport) {
  EGTS::Subrecord_AUTH_RESULT_CODE a;
  EXPECT_EQ(a.RCD(), 0);
  const uint8_t ok[] = {0x00, 0x42};
  const uint8_t bad[] = {0x8B};
  const uint8_t odd[] = {0x02};
  EXPECT_EQ(a.Decode(nullptr, 1), 134);
  EXPECT_EQ(a.Decode(ok, 0), 139);

  std::string text;
  EXPECT_EQ(a.Decode(ok, 2), 0);
  a.Report(&text);
  EXPECT_EQ(text, "       Result Code            - 0 (OK)\n");
  EXPECT_EQ(a.Decode(bad, 1), 0);
  a.Report(&text);
  EXPECT_EQ(text, "       Result Code            - 139 (Incorrect data length)\n");
  EXPECT_EQ(a.Decode(odd, 1), 0);
  a.Report(&text);
  EXPECT_EQ(text, "       Result Code            - 2 (Unspecified)\n");

  a.SetRCD(151);
  EGTS::Subrecord_AUTH_RESULT_CODE copy(a);
  EGTS::bytestream out;
  out.AppendByte(0xEE);
  EXPECT_EQ(copy.Encode(out), 0);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0xEE, 151}));
  EXPECT_EQ(copy.EncodedLength(), 1);
}

}  // namespace
