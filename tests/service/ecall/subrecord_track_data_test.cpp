#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "service/ecall/subrecord_track_data.h"
#include "transport/bytestream.h"

namespace {

using EGTS::Subrecord_TRACK_DATA;

// SA 2, ATM 0; point 1 without data, RTM 2; point 2 with data, LAHS, RTM 3,
// LAT 0x80000000, LONG 0xFFFFFFFF, speed word 0x84D2, DIR byte 0x10.
const std::vector<uint8_t> kTwoPoints = {0x02, 0x00, 0x00, 0x00, 0x00, 0x02,
                                         0xA3, 0x00, 0x00, 0x00, 0x80, 0xFF,
                                         0xFF, 0xFF, 0xFF, 0xD2, 0x84, 0x10};

const char kTwoPointsReport[] =
    "       Structures Amount      - 2\n"
    "       Absolute Time          - 0x00000000 (01.01.2010 00:00:00.000  GMT)\n"
    "       Track Points Data Structures:\n"
    "       -----------------------------\n"
    "                              1\n"
    "           Relative Time      - [0200 ms] (01.01.2010 00:00:00.200 GMT)\n"
    "             Point Data Exist - 0\n"
    "                              2\n"
    "           Relative Time      - [0300 ms] (01.01.2010 00:00:00.500 GMT)\n"
    "             Point Data Exist - 1\n"
    "             Long. Hemisphere -  0\n"
    "             Lat.  Hemisphere -   1\n"
    "           LAT                - 0x80000000 (N45.00000001)\n"
    "           LON                - 0xFFFFFFFF (E180.00000000)\n"
    "           SPEED              - 1234  (12.34 kmph)\n"
    "           DIR                - 272 \n"
    "           ------------------\n";

TEST(SubrecordTrackData, DecodeMixedPointsAndRoundTrip) {
  Subrecord_TRACK_DATA t;
  ASSERT_EQ(t.Decode(kTwoPoints.data(), static_cast<uint16_t>(kTwoPoints.size())), 0);
  ASSERT_EQ(t.PointCount(), 2u);
  EXPECT_FALSE(t.PointAt(0).TNDE);
  EXPECT_EQ(t.PointAt(0).flags, 0x02);
  EXPECT_TRUE(t.PointAt(1).TNDE);
  EXPECT_EQ(t.PointAt(1).LAT, 0x80000000u);
  EXPECT_EQ(t.PointAt(1).LONG, 0xFFFFFFFFu);
  EXPECT_EQ(t.PointAt(1).SPD, 1234);
  EXPECT_EQ(t.PointAt(1).DIR, 272);
  EXPECT_EQ(t.EncodedLength(), 18);

  EGTS::bytestream out;
  out.AppendByte(0xEE);  // Encode starts from an empty stream
  EXPECT_EQ(t.Encode(out), 0);
  EXPECT_EQ(out.bytes, kTwoPoints);

  Subrecord_TRACK_DATA copy(t);
  copy.AddPoint({});
  EXPECT_EQ(t.PointCount(), 2u);
  EXPECT_EQ(copy.PointCount(), 3u);
  EXPECT_EQ(copy.PointAt(1).SPD, 1234);
}

TEST(SubrecordTrackData, DecodeResultCodes) {
  Subrecord_TRACK_DATA t;
  const std::vector<uint8_t> srd = {0x03, 0x00, 0x00, 0x00, 0x00, 0x01, 0x02};
  EXPECT_EQ(t.Decode(nullptr, 7), 134);
  EXPECT_EQ(t.Decode(srd.data(), 5), 139);
  EXPECT_EQ(t.Decode(srd.data(), 7), 139);  // three points wanted, two present

  std::vector<uint8_t> zero = srd;
  zero[0] = 0;
  EXPECT_EQ(t.Decode(zero.data(), 7), 132);

  std::vector<uint8_t> one = srd;
  one[0] = 1;  // the second point byte is ignored
  EXPECT_EQ(t.Decode(one.data(), 7), 0);
  EXPECT_EQ(t.PointCount(), 1u);

  // A point with data needs 11 bytes after its flags; with 10 it is skipped
  // but still counts towards SA.
  std::vector<uint8_t> shortPoint = {0x01, 0, 0, 0, 0, 0x80, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  EXPECT_EQ(t.Decode(shortPoint.data(), static_cast<uint16_t>(shortPoint.size())), 0);
  EXPECT_EQ(t.PointCount(), 0u);
  shortPoint.push_back(11);
  EXPECT_EQ(t.Decode(shortPoint.data(), static_cast<uint16_t>(shortPoint.size())), 0);
  ASSERT_EQ(t.PointCount(), 1u);
  EXPECT_EQ(t.PointAt(0).LAT, 0x04030201u);
  EXPECT_EQ(t.PointAt(0).DIR, 11);
}

TEST(SubrecordTrackData, ShortDataPointIsSkipped) {
  // Point flagged with data but only five bytes follow (LAT's, and one
  // more): the byte after its flags is read as the next point's flags.
  const std::vector<uint8_t> srd = {0x02, 0x00, 0x00, 0x00, 0x00, 0x80, 0x05, 1, 2, 3, 4};
  Subrecord_TRACK_DATA t;
  EXPECT_EQ(t.Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  ASSERT_EQ(t.PointCount(), 1u);
  EXPECT_FALSE(t.PointAt(0).TNDE);
  EXPECT_EQ(t.PointAt(0).flags, 0x05);
}

TEST(SubrecordTrackData, EncodeDerivesAmountAndFlags) {
  Subrecord_TRACK_DATA t;
  t.SetATM(0x0A0B0C0D);
  EGTS::bytestream out;
  EXPECT_EQ(t.Encode(out), 134);
  EXPECT_EQ(out.bytes, (std::vector<uint8_t>{0x00, 0x0D, 0x0C, 0x0B, 0x0A}));

  Subrecord_TRACK_DATA::Point p;
  p.TNDE = true;
  p.flags = 0x01;
  p.LAT = 1;
  p.LONG = 2;
  p.SPD = 0x7FFF;
  p.DIR = 256;  // lowest direction that needs bit 15 of the speed word
  t.AddPoint(p);
  EXPECT_EQ(t.EncodedLength(), 17);
  EXPECT_EQ(t.Encode(out), 0);
  EXPECT_EQ(t.SA(), 1);
  EXPECT_EQ(t.PointAt(0).flags, 0x81);
  const std::vector<uint8_t> expected = {0x01, 0x0D, 0x0C, 0x0B, 0x0A, 0x81, 0x01, 0x00, 0x00,
                                         0x00, 0x02, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00};
  EXPECT_EQ(out.bytes, expected);
}

TEST(SubrecordTrackData, ReportReplacesTargetThenAppendsPoints) {
  Subrecord_TRACK_DATA t;
  ASSERT_EQ(t.Decode(kTwoPoints.data(), static_cast<uint16_t>(kTwoPoints.size())), 0);
  std::string text = "stale content";
  t.Report(&text);
  EXPECT_EQ(text, kTwoPointsReport);

}

TEST(SubrecordTrackData, ReportHemispheresAndTimes) {
  Subrecord_TRACK_DATA t;
  t.SetSA(1);
  t.SetATM(0xFFFFFFFF);  // wraps to one second before the 2010 epoch
  Subrecord_TRACK_DATA::Point p;
  p.TNDE = true;
  p.flags = 0xDF;  // LOHS, RTM 31
  p.LAT = 0x12345678;
  p.LONG = 0x23456789;
  p.SPD = 5;
  p.DIR = 7;
  t.AddPoint(p);
  std::string text;
  t.Report(&text);
  EXPECT_EQ(text,
            "       Structures Amount      - 1\n"
            "       Absolute Time          - 0xFFFFFFFF (31.12.2009 23:59:59.000  GMT)\n"
            "       Track Points Data Structures:\n"
            "       -----------------------------\n"
            "                              1\n"
            "           Relative Time      - [3100 ms] (01.01.2010 00:00:02.100 GMT)\n"
            "             Point Data Exist - 1\n"
            "             Long. Hemisphere -  1\n"
            "             Lat.  Hemisphere -   0\n"
            "           LAT                - 0x12345678 (S6.39999999)\n"
            "           LON                - 0x23456789 (W24.79999998)\n"
            "           SPEED              - 5  (0.05 kmph)\n"
            "           DIR                - 7 \n"
            "           ------------------\n");
}

}  // namespace
