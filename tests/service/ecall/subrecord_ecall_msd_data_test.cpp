#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "service/ecall/subrecord_ecall_msd_data.h"
#include "transport/result_codes.h"

namespace {

using EGTS::Subrecord_ECALL_MSD_DATA;
using Bytes = std::vector<uint8_t>;

// The 34 mandatory bytes: format 1, message 2, control flags 0x0B, a VIN,
// propulsion 0x03, 2010-01-01 00:00:00, latitude 55.75, longitude 37.6,
// direction 45 (90 degrees).
Bytes MandatoryPart() {
  const char* vin = "XTA21099012345678";
  const uint8_t tail[] = {0x03, 0x4B, 0x3D, 0x3B, 0x00, 0x0B, 0xF6, 0x70, 0x60,
                          0x08, 0x11, 0x6E, 0x00, 45};
  Bytes srd(34);
  srd[0] = 0x01;
  srd[1] = 0x02;
  srd[2] = 0x0B;
  std::copy(vin, vin + 17, srd.begin() + 3);
  std::copy(std::begin(tail), std::end(tail), srd.begin() + 20);
  return srd;
}

// LATD n-1 -120, LOND n-1 300, LATD n-2 50, LOND n-2 -1, passengers 3.
const Bytes kOptional = {0xFF, 0x88, 0x01, 0x2C, 0x00, 0x32, 0xFF, 0xFF, 0x03};

Bytes WithTail(size_t optionalBytes, const Bytes& extra = {}) {
  Bytes srd = MandatoryPart();
  srd.insert(srd.end(), kOptional.begin(), kOptional.begin() + optionalBytes);
  srd.insert(srd.end(), extra.begin(), extra.end());
  return srd;
}

// Decodes from a heap copy of exactly the given bytes.
uint8_t DecodeFrom(Subrecord_ECALL_MSD_DATA& msd, const Bytes& srd) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[srd.size() + 1]);
  std::memcpy(copy.get(), srd.data(), srd.size());
  return msd.Decode(copy.get(), static_cast<uint16_t>(srd.size()));
}

Bytes Encoded(Subrecord_ECALL_MSD_DATA& msd) {
  EGTS::bytestream out;
  EXPECT_EQ(msd.Encode(out), EGTS::EGTS_PC_OK);
  return out.bytes;
}

std::string ReportOf(const Subrecord_ECALL_MSD_DATA& msd) {
  std::string text = "previous content";
  msd.Report(&text);
  return text;
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const char kMandatoryReport[] =
    "       Format Version         - 1\n"
    "       Message Identifier     - 2\n"
    "       Control Flags          -    00001011 (0x0B)\n"
    "            Vehicle Type         -  0001    passenger car (Class M1)\n"
    "            Position Confidence  -      0\n"
    "            Call Type            -       1  (test)\n"
    "            Activation Type      -        1 (automatic)\n"
    "       VIN                    - XTA21099012345678\n"
    "       Veh Propulsion Storage - 00000011 (diesel, petrol)\n"
    "       Time Stamp             - 0x4B3D3B00 (01.01.2010 00:00:00 GMT)\n"
    "       Position Latitude      - 0x0BF67060 (55.75000000)\n"
    "       Position Longitude     - 0x08116E00 (37.60000000)\n"
    "       Vehicle Direction      - 90\n";

TEST(SubrecordEcallMsdData, MandatoryPartOnly) {
  Subrecord_ECALL_MSD_DATA msd;
  ASSERT_EQ(DecodeFrom(msd, MandatoryPart()), EGTS::EGTS_PC_OK);
  EXPECT_EQ(msd.DecodedLength(), 34);
  EXPECT_EQ(msd.PositionLatitude(), 200700000);
  EXPECT_EQ(msd.LATD_n1(), 0x7FFF);
  EXPECT_EQ(msd.LOND_n2(), 0x7FFF);
  EXPECT_EQ(msd.NumberOfPassengers(), 255);
  EXPECT_TRUE(msd.AdditionalData().empty());

  EXPECT_EQ(ReportOf(msd), kMandatoryReport);

  EXPECT_EQ(msd.EncodedLength(), 34);
  EXPECT_EQ(Encoded(msd), MandatoryPart());
}

TEST(SubrecordEcallMsdData, DecodeRefusals) {
  Subrecord_ECALL_MSD_DATA msd;
  EXPECT_EQ(msd.Decode(nullptr, 40), EGTS::EGTS_PC_NOTEN_PARAMS);
  Bytes shortSrd = MandatoryPart();
  shortSrd.pop_back();
  EXPECT_EQ(DecodeFrom(msd, shortSrd), EGTS::EGTS_PC_INVDATALEN);
}

TEST(SubrecordEcallMsdData, EachOptionalTailLength) {
  // Decoded length -> the last report line it adds.
  const struct {
    size_t optionalBytes;
    int extraLines;
    const char* lastLine;
  } kCases[] = {
      {1, 0, "       Vehicle Direction      - 90\n"},  // 35: an odd byte adds nothing
      {2, 1, "       LATD n-1               - -120 (55.74666667)\n"},
      {4, 2, "       LOND n-1               - 300 (37.60833333)\n"},
      {6, 3, "       LATD n-2               - 50 (55.74805556)\n"},
      {8, 4, "       LOND n-2               - -1 (37.60830556)\n"},
      {9, 5, "       Number of Passengers   - 3\n"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.optionalBytes);
    Subrecord_ECALL_MSD_DATA msd;
    const Bytes srd = WithTail(c.optionalBytes);
    ASSERT_EQ(DecodeFrom(msd, srd), EGTS::EGTS_PC_OK);
    const std::string text = ReportOf(msd);
    const std::string last = c.lastLine;
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
    EXPECT_EQ(text.rfind(kMandatoryReport, 0), 0u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 13 + c.extraLines);

    // Defined values encode back to the same bytes (35 has a stray byte).
    const Bytes expected = c.optionalBytes == 1 ? MandatoryPart() : srd;
    EXPECT_EQ(msd.EncodedLength(), expected.size());
    EXPECT_EQ(Encoded(msd), expected);
  }

  // 44 bytes and more: additional data as text, no label, no line end.
  Subrecord_ECALL_MSD_DATA msd;
  ASSERT_EQ(DecodeFrom(msd, WithTail(9, {'h', 'i', 0, 'x'})), EGTS::EGTS_PC_OK);
  const auto additional = msd.AdditionalData();
  EXPECT_EQ(Bytes(additional.begin(), additional.end()), (Bytes{'h', 'i', 0, 'x'}));
  const std::string text = ReportOf(msd);
  EXPECT_TRUE(Contains(text, "       Number of Passengers   - 3\nhi"));
  EXPECT_EQ(text.back(), 'i');
  EXPECT_EQ(msd.EncodedLength(), 47);
  EXPECT_EQ(Encoded(msd), WithTail(9, {'h', 'i', 0, 'x'}));
}

TEST(SubrecordEcallMsdData, UndefinedPositionsAndDeltas) {
  // Latitude undefined: every latitude delta is undefined whatever its value;
  // LOND n-1 undefined makes LOND n-2 undefined too.
  Bytes srd = WithTail(9);
  srd[25] = 0x7F;
  srd[26] = srd[27] = srd[28] = 0xFF;
  srd[36] = 0x7F;
  srd[37] = 0xFF;
  srd[42] = 0xFF;
  srd[33] = 0xFF;
  Subrecord_ECALL_MSD_DATA msd;
  ASSERT_EQ(DecodeFrom(msd, srd), EGTS::EGTS_PC_OK);
  const std::string text = ReportOf(msd);
  EXPECT_TRUE(Contains(text,
                       "       Position Latitude      - 0x7FFFFFFF (undefined)\n"
                       "       Position Longitude     - 0x08116E00 (37.60000000)\n"
                       "       Vehicle Direction      - 255 (undefined)\n"
                       "       LATD n-1               - 0xFF88  (undefined)\n"
                       "       LOND n-1               - 0x7FFF  (undefined)\n"
                       "       LATD n-2               - 0x0032  (undefined)\n"
                       "       LOND n-2               - 0xFFFF  (undefined)\n"
                       "       Number of Passengers   - 255 (undefined)\n"));
}

TEST(SubrecordEcallMsdData, DeltaSumWrapsLikeInt32) {
  Subrecord_ECALL_MSD_DATA msd;
  msd.SetPositionLatitude(0x7FFFFFFE);
  msd.SetLATD_n1(100);
  EXPECT_TRUE(Contains(ReportOf(msd), "LATD n-1               - 100 (-596.52045833)\n"));
}

TEST(SubrecordEcallMsdData, FlagsPropulsionDirectionAndTime) {
  Subrecord_ECALL_MSD_DATA msd;
  msd.SetControlFlags(0x74);  // vehicle type 14, position confident, manual emergency
  msd.SetVehPropulsionStorage(0x3F);
  msd.SetVehicleDirection(0);
  msd.SetTimeStamp(0xFFFFFFFF);
  msd.SetVIN(std::string("AB\0C", 4));
  std::string text = ReportOf(msd);
  EXPECT_TRUE(Contains(text,
                       "       Control Flags          -    01110100 (0x74)\n"
                       "            Vehicle Type         -  1110    undefined\n"
                       "            Position Confidence  -      1\n"
                       "            Call Type            -       0  (emergency)\n"
                       "            Activation Type      -        0 (manual)\n"
                       "       VIN                    - AB\n"
                       "       Veh Propulsion Storage - 00111111 (hydrogen, electric >42V and "
                       "100Ah, LPG, CNG, diesel, petrol)\n"
                       "       Time Stamp             - 0xFFFFFFFF (07.02.2106 06:28:15 GMT)\n"));
  EXPECT_TRUE(Contains(text, "       Vehicle Direction      - 0\n"));

  msd.SetVehPropulsionStorage(0x40);
  EXPECT_TRUE(Contains(ReportOf(msd), "Veh Propulsion Storage - 01000000 (undefined)\n"));
  msd.SetVehPropulsionStorage(0x00);
  EXPECT_TRUE(Contains(ReportOf(msd), "Veh Propulsion Storage - 00000000 (undefined)\n"));

  EXPECT_STREQ(EGTS::VehicleTypeName(0), "undefined");
  EXPECT_STREQ(EGTS::VehicleTypeName(6), "heavy truck (Class N3)");
  EXPECT_STREQ(EGTS::VehicleTypeName(13), "motorcycle (Class L7e)");
  EXPECT_STREQ(EGTS::VehicleTypeName(15), "undefined");
}

TEST(SubrecordEcallMsdData, EncodeDerivesTailFromValues) {
  // Decoded from 36 bytes with LATD n-1 undefined: back to 34 bytes.
  Bytes srd = MandatoryPart();
  srd.push_back(0x7F);
  srd.push_back(0xFF);
  Subrecord_ECALL_MSD_DATA msd;
  ASSERT_EQ(DecodeFrom(msd, srd), EGTS::EGTS_PC_OK);
  EXPECT_EQ(msd.EncodedLength(), 34);
  EXPECT_EQ(Encoded(msd), MandatoryPart());

  // Only LATD n-2 defined: the undefined fields before it are written too.
  msd.SetLATD_n2(0x0102);
  Bytes expected = MandatoryPart();
  expected.insert(expected.end(), {0x7F, 0xFF, 0x7F, 0xFF, 0x01, 0x02});
  EXPECT_EQ(msd.EncodedLength(), 40);
  EXPECT_EQ(Encoded(msd), expected);

  // A short VIN is padded with zero bytes; Encode appends to the stream.
  Subrecord_ECALL_MSD_DATA fresh;
  fresh.SetVIN("V");
  EGTS::bytestream out;
  out.AppendByte(0xEE);
  fresh.Encode(out);
  ASSERT_EQ(out.bytes.size(), 35u);
  EXPECT_EQ(out.bytes[0], 0xEE);
  EXPECT_EQ(out.bytes[4], 'V');
  EXPECT_EQ(Bytes(out.bytes.begin() + 5, out.bytes.begin() + 21), Bytes(16, 0));
  EXPECT_EQ(Bytes(out.bytes.begin() + 26, out.bytes.end()),
            (Bytes{0x7F, 0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF}));
}

TEST(SubrecordEcallMsdData, AdditionalDataLimitOfEncode) {
  Subrecord_ECALL_MSD_DATA msd;
  ASSERT_EQ(DecodeFrom(msd, MandatoryPart()), EGTS::EGTS_PC_OK);
  Bytes additional(60, 'a');
  additional[56] = 'z';
  msd.SetAdditionalData(additional);
  EXPECT_EQ(msd.EncodedLength(), 103);
  const Bytes out = Encoded(msd);
  ASSERT_EQ(out.size(), 99u);
  // All deltas and the passengers, undefined, precede the first 56 bytes.
  EXPECT_EQ(Bytes(out.begin() + 34, out.begin() + 43),
            (Bytes{0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(out.begin() + 43, out.end()), Bytes(56, 'a'));
}

}  // namespace
