#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/common/subrecord_record_response.h"
#include "transport/bytestream.h"

namespace {

TEST(SubrecordRecordResponse, EncodeAndReport) {
  EGTS::Subrecord_RECORD_RESPONSE r;
  EXPECT_EQ(r.CRN(), 0);
  EXPECT_EQ(r.RST(), 0);
  r.SetCRN(0x0102);
  EXPECT_EQ(r.EncodedLength(), 3);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // appended after what the stream holds
  EXPECT_EQ(r.Encode(out), 0);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0xEE, 0x02, 0x01, 0x00}));

  std::string text = "stale";
  r.Report(&text);
  EXPECT_EQ(text,
            "       Confirmed Record Number- 258\n"
            "       Record Status          - 0 (OK)\n");

  EGTS::Subrecord_RECORD_RESPONSE copy(r);
  copy.SetRST(165);
  copy.Report(&text);
  EXPECT_EQ(text,
            "       Confirmed Record Number- 258\n"
            "       Record Status          - 165 (Unknown service subrecord type)\n");
}

}  // namespace
