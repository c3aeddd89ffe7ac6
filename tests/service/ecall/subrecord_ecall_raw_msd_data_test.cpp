#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "service/ecall/subrecord_ecall_raw_msd_data.h"
#include "transport/result_codes.h"

namespace {

using EGTS::Subrecord_ECALL_RAW_MSD_DATA;
using Bytes = std::vector<uint8_t>;

// Format 0x11 followed by n data bytes 0, 1, 2, ... (mod 256).
Bytes RawSrd(size_t n) {
  Bytes srd = {0x11};
  for (size_t i = 0; i < n; ++i) srd.push_back(static_cast<uint8_t>(i));
  return srd;
}

uint8_t DecodeFrom(Subrecord_ECALL_RAW_MSD_DATA& raw, const Bytes& srd) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[srd.size() + 1]);
  std::copy(srd.begin(), srd.end(), copy.get());
  return raw.Decode(copy.get(), static_cast<uint16_t>(srd.size()));
}

std::string ReportOf(const Subrecord_ECALL_RAW_MSD_DATA& raw) {
  std::string text = "previous content";
  raw.Report(&text);
  return text;
}

std::string HexOfData(size_t n) {
  std::string hex;
  char digits[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(digits, sizeof digits, "%.2X", static_cast<unsigned>(i & 0xFF));
    hex += digits;
  }
  return hex;
}

TEST(SubrecordEcallRawMsdData, FormatByteOnly) {
  Subrecord_ECALL_RAW_MSD_DATA raw;
  ASSERT_EQ(DecodeFrom(raw, {0x07}), EGTS::EGTS_PC_OK);
  EXPECT_EQ(raw.Format(), 7);
  EXPECT_EQ(raw.data, nullptr);
  EXPECT_EQ(raw.EncodedLength(), 1);
  const char kReport[] =
      "       Format                 - 7\n"
      "       Raw MSD data           - 0 bytes []\n";
  EXPECT_EQ(ReportOf(raw), kReport);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // Encode appends
  ASSERT_EQ(raw.Encode(out), EGTS::EGTS_PC_OK);
  EXPECT_EQ(out.bytes, (Bytes{0xEE, 0x07}));
}

TEST(SubrecordEcallRawMsdData, DecodeRefusals) {
  Subrecord_ECALL_RAW_MSD_DATA raw;
  EXPECT_EQ(raw.Decode(nullptr, 5), EGTS::EGTS_PC_NOTEN_PARAMS);
  const uint8_t byte = 1;
  EXPECT_EQ(raw.Decode(&byte, 0), EGTS::EGTS_PC_INVDATALEN);
}

TEST(SubrecordEcallRawMsdData, RoundTrip) {
  Subrecord_ECALL_RAW_MSD_DATA raw;
  ASSERT_EQ(DecodeFrom(raw, RawSrd(3)), EGTS::EGTS_PC_OK);
  EXPECT_EQ(raw.EncodedLength(), 4);
  EGTS::bytestream out;
  raw.Encode(out);
  EXPECT_EQ(out.bytes, RawSrd(3));
  EXPECT_EQ(ReportOf(raw),
            "       Format                 - 17\n"
            "       Raw MSD data           - 3 bytes [000102]\n");
}

TEST(SubrecordEcallRawMsdData, ReportShowsAtMost513Bytes) {
  Subrecord_ECALL_RAW_MSD_DATA raw;
  ASSERT_EQ(DecodeFrom(raw, RawSrd(512)), EGTS::EGTS_PC_OK);
  EXPECT_EQ(ReportOf(raw), "       Format                 - 17\n"
                           "       Raw MSD data           - 512 bytes [" +
                               HexOfData(512) + "]\n");

  ASSERT_EQ(DecodeFrom(raw, RawSrd(513)), EGTS::EGTS_PC_OK);
  EXPECT_EQ(ReportOf(raw), "       Format                 - 17\n"
                           "       Raw MSD data           - 513 bytes [" +
                               HexOfData(513) + "...]\n");

  ASSERT_EQ(DecodeFrom(raw, RawSrd(1000)), EGTS::EGTS_PC_OK);
  const std::string text = ReportOf(raw);
  EXPECT_NE(text.find("1000 bytes [" + HexOfData(513) + "...]\n"), std::string::npos);
  EXPECT_EQ(raw.EncodedLength(), 1001);
}

TEST(SubrecordEcallRawMsdData, CopySharesTheDataStream) {
  Subrecord_ECALL_RAW_MSD_DATA raw;
  ASSERT_EQ(DecodeFrom(raw, RawSrd(4)), EGTS::EGTS_PC_OK);
  const Subrecord_ECALL_RAW_MSD_DATA copy(raw);
  EXPECT_EQ(copy.data.get(), raw.data.get());
  EXPECT_EQ(copy.Format(), 0x11);
  EXPECT_EQ(raw.data.use_count(), 2);

  // A new decode gets a stream of its own, leaving the copy's alone.
  ASSERT_EQ(DecodeFrom(raw, RawSrd(2)), EGTS::EGTS_PC_OK);
  EXPECT_NE(copy.data.get(), raw.data.get());
  EXPECT_EQ(copy.EncodedLength(), 5);
}

}  // namespace
