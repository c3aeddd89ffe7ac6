#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/logger/subrecord_logger_data.h"
#include "transport/bytestream.h"

namespace {

using EGTS::Subrecord_LOGGER_DATA;

// Flags 7, Value1 0x04030201, Value2 0x0605, Type 'A', Value3 8,
// Value4 0x0C0B0A09.
const std::vector<uint8_t> kHead = {0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06,
                                    0x41, 0x08, 0x09, 0x0A, 0x0B, 0x0C};

std::vector<uint8_t> Logger(const std::vector<std::string>& texts,
                            const std::vector<uint8_t>& tail = {}) {
  std::vector<uint8_t> srd = kHead;
  for (const std::string& text : texts) {
    srd.insert(srd.end(), text.begin(), text.end());
    srd.push_back(0x00);
  }
  srd.insert(srd.end(), tail.begin(), tail.end());
  return srd;
}

uint8_t DecodeAll(Subrecord_LOGGER_DATA& l, const std::vector<uint8_t>& srd) {
  return l.Decode(srd.data(), static_cast<uint16_t>(srd.size()));
}

TEST(SubrecordLoggerData, FullRoundTripAndReport) {
  const std::vector<uint8_t> srd =
      Logger({"comp", "mod", "+7123"}, {0xD1, 0xD2, 0xD3, 0xD4, 0xD5});
  Subrecord_LOGGER_DATA l;
  ASSERT_EQ(DecodeAll(l, srd), 0);
  EXPECT_EQ(l.Value1(), 0x04030201u);
  EXPECT_EQ(l.Value2(), 0x0605);
  EXPECT_EQ(l.Value3(), 8);
  EXPECT_EQ(l.Value4(), 0x0C0B0A09u);
  EXPECT_EQ(l.ComponentName(), "comp");
  EXPECT_EQ(l.ModuleName(), "mod");
  EXPECT_EQ(l.PhoneNumber(), "+7123");
  ASSERT_NE(l.data, nullptr);
  EXPECT_EQ(l.data->position, 6u);
  EXPECT_EQ(l.EncodedLength(), srd.size() + 1);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // appended after what the stream holds
  EXPECT_EQ(l.Encode(out), 0);
  std::vector<uint8_t> expected = {0xEE};
  expected.insert(expected.end(), srd.begin(), srd.end());
  expected.push_back(0x00);  // the zero byte kept after the data
  EXPECT_EQ(out.bytes, expected);

  std::string text = "stale";
  l.Report(&text);
  EXPECT_EQ(text,
            "       Flags                  - 7\n"
            "       Type                   - A\n"
            "       Component Name         - 'comp'\n"
            "       Module Name            - 'mod'\n"
            "       Phone Number           - '+7123'\n"
            "       Data Length            - 6\n");

  Subrecord_LOGGER_DATA copy(l);
  EXPECT_EQ(copy.data.get(), l.data.get());
  EXPECT_EQ(copy.ModuleName(), "mod");
}

TEST(SubrecordLoggerData, EndsAfterComponentName) {
  const std::vector<uint8_t> srd = Logger({"ABC"});
  ASSERT_EQ(srd.size(), 17u);
  Subrecord_LOGGER_DATA l;
  EXPECT_EQ(DecodeAll(l, srd), 0);
  EXPECT_EQ(l.ComponentName(), "ABC");
  EXPECT_EQ(l.ModuleName(), "");
  EXPECT_EQ(l.data, nullptr);
  std::string text;
  l.Report(&text);
  EXPECT_EQ(text,
            "       Flags                  - 7\n"
            "       Type                   - A\n"
            "       Component Name         - 'ABC'\n"
            "       Module Name            - ''\n"
            "       Phone Number           - ''\n"
            "       Data Length            - 0\n");

  // Absent texts are written as lone zero bytes.
  EXPECT_EQ(l.EncodedLength(), 19);
  EGTS::bytestream out;
  EXPECT_EQ(l.Encode(out), 0);
  std::vector<uint8_t> expected = srd;
  expected.insert(expected.end(), {0x00, 0x00});
  EXPECT_EQ(out.bytes, expected);
}

TEST(SubrecordLoggerData, DecodeLimits) {
  Subrecord_LOGGER_DATA l;
  const std::vector<uint8_t> seventeen = Logger({"ABC"});
  EXPECT_EQ(l.Decode(nullptr, 17), 134);
  EXPECT_EQ(l.Decode(seventeen.data(), 16), 139);

  const std::string n32(32, 'n'), n33(33, 'n'), p23(23, 'p'), p24(24, 'p');
  EXPECT_EQ(DecodeAll(l, Logger({n32, n32, p23})), 0);
  EXPECT_EQ(l.PhoneNumber(), p23);
  EXPECT_EQ(DecodeAll(l, Logger({n33})), 139);
  EXPECT_EQ(DecodeAll(l, Logger({n32, n33})), 139);
  EXPECT_EQ(DecodeAll(l, Logger({n32, n32, p24})), 139);
}

TEST(SubrecordLoggerData, TextZeroByteMustLieInsideData) {
  Subrecord_LOGGER_DATA l;
  // Each case puts the zero byte of its last text just past SRD.
  for (const auto& texts : std::vector<std::vector<std::string>>{
           {"ABCD"}, {"ABC", "MODULE"}, {"ABC", "M", "PHONE"}}) {
    const std::vector<uint8_t> srd = Logger(texts);
    EXPECT_EQ(l.Decode(srd.data(), static_cast<uint16_t>(srd.size() - 1)), 139)
        << texts.back();
  }
}

}  // namespace
