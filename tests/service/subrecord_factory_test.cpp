#include <gtest/gtest.h>

#include "service/auth/subrecord_auth_result_code.h"
#include "service/subrecord_factory.h"
#include "service/common/subrecord_record_response.h"
#include "service/wrapped/subrecord_wrapped_data.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"

using namespace EGTS;
using namespace testing_support;

namespace {

struct Made {
  uint8_t result;
  Subrecord_Entry entry;
};

// Runs the factory over `bytes` as the rest of a record of service `rst`.
Made Create(uint8_t rst, const Bytes& bytes) {
  Record record;
  record.RST = rst;
  Made m;
  m.result = CreateSubrecord(bytes.data(), static_cast<uint16_t>(bytes.size()), record, m.entry);
  EXPECT_EQ(m.result, m.entry.result) << "the result is stored in the entry";
  return m;
}

Bytes Header(uint8_t srt, uint16_t srl) {
  Bytes b{srt};
  PutU16(b, srl);
  return b;
}

TEST(SubrecordFactory, FailureTableInOrderOfPrecedence) {
  // Fewer than 3 header bytes.
  EXPECT_EQ(Create(10, {62, 1}).result, EGTS_PC_INC_HEADERFORM);
  // SRL 0 wins over every other check.
  Made zero = Create(2, Header(62, 0));
  EXPECT_EQ(zero.result, 0);
  EXPECT_EQ(zero.entry.object, nullptr);
  // RECORD_RESPONSE and AUTH_RESULT_CODE need bytes after the header.
  EXPECT_EQ(Create(200, Concat({Header(0, 1), {1, 2}})).result, EGTS_PC_INVDATALEN);
  EXPECT_EQ(Create(200, Header(9, 1)).result, EGTS_PC_INVDATALEN);
  // A type the known service lacks: 165 even when SRL is too long.
  EXPECT_EQ(Create(1, Concat({Header(62, 100), {1}})).result, EGTS_PC_SR_UNKN);
  // SRL beyond the record data comes before the unknown service.
  EXPECT_EQ(Create(2, Concat({Header(62, 100), {1}})).result, EGTS_PC_INVDATALEN);
  EXPECT_EQ(Create(2, Concat({Header(62, 1), {1}})).result, EGTS_PC_SRVC_UNKN);
  // Minimum lengths, before any decoding.
  EXPECT_EQ(Create(10, Concat({Header(50, 33), Bytes(33, 0)})).result, EGTS_PC_INVDATALEN);
  EXPECT_EQ(Create(4, Concat({Header(51, 9), Bytes(9, 0)})).result, EGTS_PC_INVDATALEN);
  // Decode's own result ends the call without an object.
  Made failed = Create(10, Concat({Header(62, 6), {0, 0, 0, 0, 0, 0}}));
  EXPECT_EQ(failed.result, EGTS_PC_INC_DATAFORM) << "TRACK_DATA with SA 0";
  EXPECT_EQ(failed.entry.object, nullptr);
}

TEST(SubrecordFactory, ResponseAndResultCodeAcceptedUnderAnyService) {
  for (uint8_t rst : {uint8_t{2}, uint8_t{200}}) {
    Made response = Create(rst, Concat({Header(0, 3), {0x02, 0x01, 0x00}}));
    EXPECT_EQ(response.result, 0);
    auto* r = dynamic_cast<Subrecord_RECORD_RESPONSE*>(response.entry.object.get());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->CRN(), 0x0102);
    EXPECT_EQ(Create(rst, Concat({Header(9, 1), {0x8B}})).result, 0);
  }
}

TEST(SubrecordFactory, ShortResponseTakesItsFieldsFromTheFollowingBytes) {
  Made m = Create(4, Concat({Header(0, 1), {0x05, 0x00, 0x8B}}));
  EXPECT_EQ(m.result, 0);
  auto* r = dynamic_cast<Subrecord_RECORD_RESPONSE*>(m.entry.object.get());
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->CRN(), 5);
  EXPECT_EQ(r->RST(), 139);
}

TEST(SubrecordFactory, AuthResultCodeDecodesItsByte) {
  Made m = Create(1, Concat({Header(9, 1), {0x8B}}));
  auto* a = dynamic_cast<Subrecord_AUTH_RESULT_CODE*>(m.entry.object.get());
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->RCD(), 139);
}

TEST(SubrecordFactory, CommandWhoseAuthCodeRunsPastTheDataIsRefused) {
  // flags ACFE, ACL 5 but only 2 code bytes inside SRL 13.
  Bytes srd{0x50, 1, 0, 0, 0, 0, 0, 0, 0, 0x02, 5, 0xAA, 0xBB};
  Made m = Create(4, Concat({Header(51, static_cast<uint16_t>(srd.size())), srd, {0xCC, 0xDD, 0xEE}}));
  EXPECT_EQ(m.result, EGTS_PC_INVDATALEN);
  EXPECT_EQ(m.entry.object, nullptr);
}

TEST(CopySubrecordEntry, ClonesByTypeAndKeepsDispIdentityAsBytes) {
  Made wrapped = Create(17, Concat({Header(57, 7), {0x01, '1', '2', '3', 0x00, 0xAA, 0xBB}}));
  ASSERT_EQ(wrapped.result, 0);
  Subrecord_Entry copy = wrapped.entry;
  auto* source = dynamic_cast<Subrecord_WRAPPED_DATA*>(wrapped.entry.object.get());
  auto* clone = dynamic_cast<Subrecord_WRAPPED_DATA*>(copy.object.get());
  ASSERT_NE(clone, nullptr);
  EXPECT_NE(clone, source);
  EXPECT_EQ(clone->data, source->data) << "the data stream is shared";

  // DISP_IDENTITY is accepted without an object and kept as its bytes;
  // with the standard's classes it is decoded.
  Made disp = Create(1, Concat({Header(5, 2), {0x01, 0x02}}));
  ASSERT_EQ(disp.result, 0);
  EXPECT_EQ(disp.entry.object, nullptr);
  EXPECT_EQ(disp.entry.SRD, (Bytes{0x01, 0x02}));
  Record auth;
  auth.RST = 1;
  Subrecord_Entry decoded;
  const Bytes dispatcher = Concat({Header(5, 6), {0x00, 0xAB, 0x08, 0x00, 0x00, 'D'}});
  EXPECT_EQ(CreateSubrecord(dispatcher.data(), static_cast<uint16_t>(dispatcher.size()), auth,
                            decoded, SubrecordSet::kStandard),
            0);
  ASSERT_NE(decoded.object, nullptr);
  const Subrecord_Entry decodedCopy = decoded;
  ASSERT_NE(decodedCopy.object, nullptr);
  EXPECT_NE(decodedCopy.object.get(), decoded.object.get());
  EXPECT_TRUE(decodedCopy.SRD.empty());
}

}  // namespace
