#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/wrapped/subrecord_wrapped_data.h"
#include "transport/bytestream.h"

namespace {

using EGTS::Subrecord_WRAPPED_DATA;

std::vector<uint8_t> WithPhone(size_t digits) {
  std::vector<uint8_t> srd = {0x00};
  srd.insert(srd.end(), digits, '7');
  srd.push_back(0x00);
  return srd;
}

TEST(SubrecordWrappedData, RoundTripAndReport) {
  const std::vector<uint8_t> srd = {0x01, 0x31, 0x32, 0x33, 0x00, 0xAA, 0xBB};
  Subrecord_WRAPPED_DATA w;
  EXPECT_EQ(w.data, nullptr);
  ASSERT_EQ(w.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  EXPECT_EQ(w.Flags(), 1);
  EXPECT_EQ(w.PhoneNumber(), "123");
  ASSERT_NE(w.data, nullptr);
  EXPECT_EQ(w.data->bytes, (std::vector<uint8_t>{0xAA, 0xBB}));
  EXPECT_EQ(w.EncodedLength(), 7);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // appended after what the stream holds
  EXPECT_EQ(w.Encode(out), 0);
  std::vector<uint8_t> expected = {0xEE};
  expected.insert(expected.end(), srd.begin(), srd.end());
  EXPECT_EQ(out.bytes, expected);

  std::string text = "stale";
  w.Report(&text);
  EXPECT_EQ(text,
            "       Flags                  - 1\n"
            "       Phone Number           - '123'\n"
            "       Data Length            - 2\n");

  Subrecord_WRAPPED_DATA copy(w);
  EXPECT_EQ(copy.data.get(), w.data.get());
  EXPECT_EQ(copy.PhoneNumber(), "123");
}

TEST(SubrecordWrappedData, EmptyDataAndNoStream) {
  const std::vector<uint8_t> srd = {0x05, 0x39, 0x00};
  Subrecord_WRAPPED_DATA w;
  ASSERT_EQ(w.Decode(srd.data(), 3), 0);
  ASSERT_NE(w.data, nullptr);
  EXPECT_EQ(w.data->position, 0u);
  EXPECT_EQ(w.EncodedLength(), 3);
  std::string text;
  w.Report(&text);
  EXPECT_EQ(text,
            "       Flags                  - 5\n"
            "       Phone Number           - '9'\n"
            "       Data Length            - 0\n");

  Subrecord_WRAPPED_DATA fresh;
  EXPECT_EQ(fresh.EncodedLength(), 2);
  EGTS::bytestream out;
  EXPECT_EQ(fresh.Encode(out), 0);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0x00, 0x00}));

  // Bytes set afterwards go to a stream of their own, which copies share.
  fresh.SetPhoneNumber("7");
  fresh.SetText(Subrecord_WRAPPED_DATA::kData, std::string("\xAA", 1));
  Subrecord_WRAPPED_DATA copy(fresh);
  ASSERT_NE(copy.data, nullptr);
  EXPECT_EQ(copy.data, fresh.data);
  out = EGTS::bytestream();
  EXPECT_EQ(copy.Encode(out), 0);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0x00, '7', 0x00, 0xAA}));
}

TEST(SubrecordWrappedData, DecodeLimits) {
  Subrecord_WRAPPED_DATA w;
  const uint8_t two[] = {0x00, 0x00};
  EXPECT_EQ(w.Decode(nullptr, 2), 134);
  EXPECT_EQ(w.Decode(two, 1), 139);
  EXPECT_EQ(w.Decode(two, 2), 0);
  EXPECT_EQ(w.PhoneNumber(), "");

  auto srd = WithPhone(24);
  EXPECT_EQ(w.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  EXPECT_EQ(w.PhoneNumber().size(), 24u);
  srd = WithPhone(25);
  EXPECT_EQ(w.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 139);

  // The zero byte lies just past SRD: it must not be found.
  srd = WithPhone(3);
  EXPECT_EQ(w.Decode(srd.data(), static_cast<uint16_t>(srd.size() - 1)), 139);
}

}  // namespace
