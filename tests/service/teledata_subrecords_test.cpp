#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/field_list.h"
#include "service/field_sink.h"
#include "service/subrecord_table.h"
#include "service/ecall/subrecord_accel_data.h"
#include "service/value_text.h"
#include "transport/result_codes.h"

using namespace EGTS;

namespace {

using Bytes = std::vector<uint8_t>;

// The public TELEDATA packets of the standard's sheet.
const char kPosCheckFigure[] =
    "0100020B0025003A5701C91A003A5701CD6E68490202101700CBB4740F7617FD924364104F116A000000000001"
    "0300001EC2";
const char kSixSubrecords[] =
    "0100020b004f00ae1101d24400ae1191af8304000202101800d9238213008dcea08070ec789338003c00000001"
    "008200001106001a740007020014050000180000041207000f000010000000130100001b0700010000af0f0000"
    "312a";

struct Sub {
  uint8_t rst;
  uint8_t srt;
  Bytes srd;
};

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

// Cuts every subrecord out of a packet by walking the transport, record and
// subrecord headers (HL at byte 3, FDL at bytes 5-6).
std::vector<Sub> SubrecordsOf(const char* hex) {
  const Bytes p = FromHex(hex);
  std::vector<Sub> subs;
  std::size_t at = p[3];
  const std::size_t end = at + (p[5] | (p[6] << 8));
  while (at + 7 <= end) {
    const std::size_t rl = p[at] | (p[at + 1] << 8);
    const uint8_t rfl = p[at + 4];
    at += 5 + ((rfl & 1) ? 4 : 0) + ((rfl & 2) ? 4 : 0) + ((rfl & 4) ? 4 : 0);
    const uint8_t rst = p[at + 1];
    at += 2;
    for (const std::size_t recordEnd = at + rl; at + 3 <= recordEnd;) {
      const std::size_t srl = p[at + 1] | (p[at + 2] << 8);
      subs.push_back({rst, p[at], Bytes(p.begin() + at + 3, p.begin() + at + 3 + srl)});
      at += 3 + srl;
    }
  }
  return subs;
}

struct Decoded {
  const SubrecordRow* row = nullptr;
  std::unique_ptr<Subrecord_Class> object;
  uint8_t result = 0xFF;
  FieldList fields;
};

Decoded Decode(uint8_t rst, uint8_t srt, const Bytes& srd) {
  Decoded d;
  const uint16_t srl = static_cast<uint16_t>(srd.size());
  d.row = FindStandardSubrecord(rst, srt, srl);
  if (d.row == nullptr) {
    ADD_FAILURE() << "no row for RST " << int{rst} << " SRT " << int{srt} << " SRL " << srl;
    return d;
  }
  d.object = d.row->standard.make();
  // A copy of exactly SRL bytes, so that the sanitizers catch a read past it.
  std::unique_ptr<uint8_t[]> exact(new uint8_t[srd.size()]);
  std::copy(srd.begin(), srd.end(), exact.get());
  d.result = d.object->Decode(exact.get(), srl);
  if (d.result == EGTS_PC_OK) d.object->Describe(d.fields);
  return d;
}

// A field's value as text: integers in decimal, reals to five decimals,
// bytes in hex.
std::string ValueOf(const FieldList& fields, const std::string& name) {
  const Field* f = FindField(fields, name);
  if (f == nullptr) return "<absent>";
  char text[64];
  switch (f->kind) {
    case Field::Kind::kUnsigned:
      std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(f->unsignedValue));
      return text;
    case Field::Kind::kSigned:
      std::snprintf(text, sizeof text, "%lld", static_cast<long long>(f->signedValue));
      return text;
    case Field::Kind::kReal:
      std::snprintf(text, sizeof text, "%.5f", f->realValue);
      return text;
    case Field::Kind::kText: return f->textValue;
    case Field::Kind::kBytes: {
      std::string hex;
      for (unsigned char c : f->textValue) {
        std::snprintf(text, sizeof text, "%02X", c);
        hex += text;
      }
      return hex;
    }
    default: return "<other>";
  }
}

using Expected = std::vector<std::pair<const char*, const char*>>;

void ExpectFields(const FieldList& fields, const Expected& expected, const std::string& where) {
  for (const auto& [name, value] : expected) {
    const Field* f = FindField(fields, name);
    // The sheet's figures are cut, not rounded, at the fifth decimal.
    if (f != nullptr && f->kind == Field::Kind::kReal) {
      EXPECT_NEAR(f->realValue, std::stod(value), 1e-5) << where << ", field " << name;
      continue;
    }
    EXPECT_EQ(ValueOf(fields, name), value) << where << ", field " << name;
  }
}

// Each field as "name=value", the way the JSON writer takes it.
class RecordingSink : public FieldSink {
 public:
  std::vector<std::string> lines;
  void Unsigned(FieldName name, uint64_t value) override { Add(name, std::to_string(value)); }
  void Signed(FieldName name, int64_t value) override { Add(name, std::to_string(value)); }
  void Real(FieldName name, double value, int decimals) override {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    Add(name, text);
  }
  void Text(FieldName name, const char* utf8, std::size_t size) override {
    Add(name, "'" + std::string(utf8, size) + "'");
  }
  void EgtsTime(FieldName name, uint32_t egtsSeconds) override {
    Add(name, std::to_string(egtsSeconds) + " egts");
  }

 private:
  void Add(FieldName name, const std::string& value) {
    lines.push_back(std::string(name.Text(), name.Size()) + "=" + value);
  }
};

// A class that writes its fields straight to the JSON gives the names,
// values and order of its field list.
void ExpectWrittenAsDescribed(const Subrecord_Class& object, const FieldList& fields,
                              const std::string& where) {
  RecordingSink written;
  if (!object.WriteFields(written)) return;
  RecordingSink described;
  for (const Field& f : fields) {
    switch (f.kind) {
      case Field::Kind::kUnsigned:
        if (f.egtsTime) described.EgtsTime(FieldName(f.name.c_str()), static_cast<uint32_t>(f.unsignedValue));
        else described.Unsigned(FieldName(f.name.c_str()), f.unsignedValue);
        break;
      case Field::Kind::kSigned: described.Signed(FieldName(f.name.c_str()), f.signedValue); break;
      case Field::Kind::kReal: described.Real(FieldName(f.name.c_str()), f.realValue, f.decimals); break;
      case Field::Kind::kText:
        described.Text(FieldName(f.name.c_str()), f.textValue.data(), f.textValue.size());
        break;
      default: ADD_FAILURE() << where << ": field " << f.name << " cannot be written"; break;
    }
  }
  EXPECT_EQ(written.lines, described.lines) << where;
}

constexpr uint8_t kTele = 2;

struct PublicCase {
  const char* packet;
  std::size_t index;  // of the subrecord in the packet
  uint8_t srt;
  const char* name;
  Expected fields;
};

TEST(TeledataSubrecords, PublicPacketsDecodeEveryValue) {
  const PublicCase cases[] = {
      {kPosCheckFigure, 0, 16, "EGTS_SR_POS_DATA",
       {{"NTM", "259306699"}, {"time", "2018-03-21T05:38:19Z"}, {"latitude", "51.67569"},
        {"longitude", "55.59189"}, {"FLG", "17"}, {"MV", "1"}, {"VLD", "1"}, {"ALTE", "0"},
        {"speed_kmh", "10.60000"}, {"SPD", "106"}, {"heading", "0"}, {"odometer_km", "0.00000"},
        {"DIN", "1"}, {"SRC", "3"}, {"SRC_name", "reply to a request"}, {"SRCD", "0"},
        {"ALT", "<absent>"}, {"altitude_m", "<absent>"}}},
      {kSixSubrecords, 0, 16, "EGTS_SR_POS_DATA",
       {{"time", "2020-05-16T03:32:41Z"}, {"latitude", "56.53365"}, {"longitude", "85.02440"},
        {"ALTE", "1"}, {"MV", "1"}, {"FIX", "1"}, {"VLD", "1"}, {"LOHS", "0"}, {"LAHS", "0"},
        {"BB", "0"}, {"CS", "0"}, {"speed_kmh", "5.60000"}, {"ALTS", "0"}, {"DIRH", "0"},
        {"DIR", "60"}, {"heading", "60"}, {"ODM", "0"}, {"DIN", "1"}, {"SRC", "0"},
        {"SRC_name", "timer with ignition on"}, {"ALT", "130"}, {"altitude_m", "130"},
        {"SRCD", "<absent>"}}},
      {kSixSubrecords, 1, 17, "EGTS_SR_EXT_POS_DATA",
       {{"FLG", "26"}, {"NSFE", "1"}, {"SFE", "1"}, {"HFE", "1"}, {"VFE", "0"}, {"PFE", "0"},
        {"HDOP", "116"}, {"hdop", "1.16000"}, {"VDOP", "<absent>"}, {"SAT", "7"}, {"NS", "2"},
        {"NS_name", "GPS"}}},
      {kSixSubrecords, 2, 20, "EGTS_SR_STATE_DATA",
       {{"ST", "0"}, {"ST_name", "passive"}, {"MPSV", "24"}, {"main_voltage_v", "2.40000"},
        {"BBV", "0"}, {"IBV", "0"}, {"FLG", "4"}, {"NMS", "1"}, {"IBU", "0"}, {"BBU", "0"}}},
      {kSixSubrecords, 3, 18, "EGTS_SR_AD_SENSORS_DATA",
       {{"DIOE", "15"}, {"DOUT", "0"}, {"ASFE", "0"}, {"ADIO1", "16"}, {"ADIO2", "0"},
        {"ADIO4", "0"}, {"ADIO5", "<absent>"}, {"ANS1", "<absent>"}}},
      {kSixSubrecords, 4, 19, "EGTS_SR_COUNTERS_DATA", {{"CFE", "0"}, {"CN1", "<absent>"}}},
      {kSixSubrecords, 5, 27, "EGTS_SR_LIQUID_LEVEL_SENSOR",
       {{"LLSN", "1"}, {"LLSVU", "0"}, {"RDF", "0"}, {"LLSEF", "0"}, {"MADDR", "0"},
        {"LLSD", "4015"}}},
  };
  for (const PublicCase& c : cases) {
    const std::vector<Sub> subs = SubrecordsOf(c.packet);
    ASSERT_LT(c.index, subs.size());
    const Sub& sub = subs[c.index];
    ASSERT_EQ(sub.srt, c.srt);
    const Decoded d = Decode(sub.rst, sub.srt, sub.srd);
    ASSERT_NE(d.row, nullptr);
    EXPECT_STREQ(d.row->name, c.name);
    EXPECT_EQ(d.result, EGTS_PC_OK) << c.name;
    EXPECT_TRUE(d.object->checks.empty()) << c.name << ": " << d.object->checks.front();
    ExpectFields(d.fields, c.fields, c.name);
    ExpectWrittenAsDescribed(*d.object, d.fields, c.name);
  }
}

struct CraftedCase {
  uint8_t srt;
  const char* what;
  Bytes srd;
  Expected fields;
};

TEST(TeledataSubrecords, CraftedSubrecordsWithEveryOptionalField) {
  const CraftedCase cases[] = {
      {16, "POS_DATA, all flags, altitude and source data",
       {0x00, 0x00, 0x00, 0x00,  // NTM 0
        0x00, 0x00, 0x00, 0x80,  // LAT 0x80000000: 45 degrees
        0x00, 0x00, 0x00, 0x40,  // LONG 0x40000000: 45 degrees
        0xFF,                    // FLG: every flag, south and west
        0xD2, 0xC4,              // SPD 1234, ALTS, DIRH
        0x2C,                    // DIR 44: heading 300
        0x40, 0xE2, 0x01,        // ODM 123456
        0xA5, 13,                // DIN, SRC
        0x02, 0x01, 0x00,        // ALT 258
        0xFE, 0xFF},             // SRCD -2
       {{"time", "2010-01-01T00:00:00Z"}, {"latitude", "-45.00000"}, {"longitude", "-45.00000"},
        {"ALTE", "1"}, {"LOHS", "1"}, {"LAHS", "1"}, {"MV", "1"}, {"BB", "1"}, {"CS", "1"},
        {"FIX", "1"}, {"VLD", "1"}, {"SPD", "1234"}, {"speed_kmh", "123.40000"}, {"ALTS", "1"},
        {"DIRH", "1"}, {"DIR", "44"}, {"heading", "300"}, {"odometer_km", "12345.60000"},
        {"DIN", "165"}, {"SRC_name", "alarm button"}, {"ALT", "258"}, {"altitude_m", "-258"},
        {"SRCD", "-2"}}},
      {17, "EXT_POS_DATA, every field",
       {0x1F, 0xC8, 0x00, 0x96, 0x00, 0xFA, 0x00, 12, 0x03, 0x00},
       {{"vdop", "2.00000"}, {"hdop", "1.50000"}, {"pdop", "2.50000"}, {"SAT", "12"},
        {"NS", "3"}, {"NS_name", "GLONASS, GPS"}}},
      {17, "EXT_POS_DATA, NS without SFE", {0x10, 0x81, 0x00},
       {{"SAT", "<absent>"}, {"NS", "129"}, {"NS_name", "GLONASS, QZSS"}}},
      {18, "AD_SENSORS_DATA, inputs 1 and 3, analog 2 and 8",
       {0x05, 0x81, 0x82, 0x11, 0x33, 0x03, 0x02, 0x01, 0xEF, 0xCD, 0xAB},
       {{"DOUT", "129"}, {"ADIO1", "17"}, {"ADIO2", "<absent>"}, {"ADIO3", "51"},
        {"ANS1", "<absent>"}, {"ANS2", "66051"}, {"ANS8", "11259375"}}},
      {19, "COUNTERS_DATA, counters 1 and 8",
       {0x81, 0x01, 0x02, 0x03, 0xFF, 0xFF, 0xFF},
       {{"CN1", "197121"}, {"CN2", "<absent>"}, {"CN8", "16777215"}}},
      {21, "STATE_DATA as SRT 21", {7, 125, 41, 37, 0x07},
       {{"ST_name", "firmware loading"}, {"main_voltage_v", "12.50000"},
        {"backup_battery_voltage_v", "4.10000"}, {"internal_battery_voltage_v", "3.70000"},
        {"NMS", "1"}, {"IBU", "1"}, {"BBU", "1"}}},
      {22, "LOOPIN_DATA, loops 1, 3, 4 and 6", {0x2D, 0x21, 0x84},
       {{"LIS1", "1"}, {"LIS1_name", "alarm"}, {"LIS2", "<absent>"}, {"LIS3", "2"},
        {"LIS4", "4"}, {"LIS6", "8"}, {"LIS6_name", "short to supply"}}},
      {23, "ABS_DIG_SENS_DATA", {0xC5, 0xAB}, {{"DSN", "2748"}, {"DSST", "5"}}},
      {24, "ABS_AN_SENS_DATA", {7, 0x56, 0x34, 0x12}, {{"ASN", "7"}, {"ASV", "1193046"}}},
      {25, "ABS_CNTR_DATA", {200, 0xFF, 0xFF, 0x00}, {{"CN", "200"}, {"CNV", "65535"}}},
      {26, "ABS_LOOPIN_DATA", {0x34, 0x12},
       {{"LIN", "291"}, {"LIS", "4"}, {"LIS_name", "short to ground"}}},
      {27, "LIQUID_LEVEL_SENSOR in litres with an error", {0x61, 0x34, 0x12, 0xD2, 0x04, 0, 0},
       {{"LLSEF", "1"}, {"LLSVU", "2"}, {"LLSN", "1"}, {"MADDR", "4660"}, {"LLSD", "1234"},
        {"level_l", "123.40000"}}},
      {27, "LIQUID_LEVEL_SENSOR with raw data", {0x0A, 0x01, 0x00, 0xDE, 0xAD, 0xBE},
       {{"RDF", "1"}, {"LLSN", "2"}, {"LLSD", "DEADBE"}}},
      {28, "PASSENGERS_COUNTERS, doors 1 and 3", {0x00, 0x05, 0x04, 0x34, 0x12, 3, 1, 10, 0},
       {{"DPR", "5"}, {"DRL", "4"}, {"MADDR", "4660"}, {"IPQ1", "3"}, {"OPQ1", "1"},
        {"IPQ2", "<absent>"}, {"IPQ3", "10"}, {"OPQ3", "0"}}},
      {28, "PASSENGERS_COUNTERS with raw data", {0x01, 0x01, 0x00, 0x00, 0x00, 0xAA, 0xBB},
       {{"RDF", "1"}, {"PCD", "AABB"}, {"IPQ1", "<absent>"}}},
  };
  for (const CraftedCase& c : cases) {
    const Decoded d = Decode(kTele, c.srt, c.srd);
    ASSERT_NE(d.row, nullptr) << c.what;
    EXPECT_EQ(d.result, EGTS_PC_OK) << c.what;
    EXPECT_TRUE(d.object->checks.empty()) << c.what << ": " << d.object->checks.front();
    ExpectFields(d.fields, c.fields, c.what);
    ExpectWrittenAsDescribed(*d.object, d.fields, c.what);
    // The copy the factory keeps describes the same content.
    FieldList copied;
    d.object->Clone()->Describe(copied);
    EXPECT_EQ(copied.size(), d.fields.size()) << c.what;
  }
}

TEST(TeledataSubrecords, Srt20IsStateDataOnlyWhenFiveBytesLong) {
  const SubrecordRow* state = FindStandardSubrecord(kTele, 20, 5);
  ASSERT_NE(state, nullptr);
  EXPECT_STREQ(state->name, "EGTS_SR_STATE_DATA");
  const Bytes accel = {1, 0, 0, 0, 0, 0x58, 0x02, 0x05, 0x80, 0x64, 0x00, 0x00, 0x00};
  const Decoded d = Decode(kTele, 20, accel);
  ASSERT_NE(d.row, nullptr);
  EXPECT_STREQ(d.row->name, "EGTS_SR_ACCEL_DATA");
  const auto* object = dynamic_cast<const Subrecord_ACCEL_DATA*>(d.object.get());
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(d.result, EGTS_PC_OK);
  ASSERT_EQ(object->StructureCount(), 1u);
  EXPECT_EQ(object->StructureAt(0).RTM, 600);
  EXPECT_EQ(object->StructureAt(0).XAAV, 0x8005);
}

struct CheckCase {
  uint8_t srt;
  Bytes srd;
  uint8_t result;
  const char* check;
};

TEST(TeledataSubrecords, EachCheckSaysWhatItFound) {
  const Bytes pos(21, 0);
  auto posWith = [&](std::size_t at, uint8_t value, std::size_t size = 21) {
    Bytes b = pos;
    b.resize(size, 0);
    b[at] = value;
    return b;
  };
  const Bytes passengersRaw513 = [] {
    Bytes b = {0x01, 0, 0, 0, 0};
    b.resize(5 + 513, 0x55);
    return b;
  }();
  const CheckCase cases[] = {
      {16, Bytes(20, 0), 139, "SRL 20 is shorter than the 21 bytes its fields need"},
      {16, posWith(12, 0x80, 23), 139, "SRL 23 is shorter than the 24 bytes its fields need"},
      {16, posWith(20, 0, 22), 0, "1 byte after the last field"},
      {16, posWith(20, 0, 25), 0, "2 bytes after the last field"},
      {16, posWith(20, 36), 0, "SRC 36 is not a known source code"},
      {17, {0x1F, 1, 0, 2, 0, 3, 0, 4, 5}, 139,
       "SRL 9 is shorter than the 10 bytes its fields need"},
      {17, {0x80}, 0, "reserved bit 7 of FLG is set"},
      {17, {0x10, 0x00, 0x03}, 0, "reserved bits 8, 9 of NS are set"},
      {18, {0x03, 0, 0x01, 1, 2, 3, 4}, 139,
       "SRL 7 is shorter than the 8 bytes its fields need"},
      {19, {0x01, 1, 2}, 139, "SRL 3 is shorter than the 4 bytes its fields need"},
      {20, {8, 0, 0, 0, 0}, 0, "ST 8 is not a known terminal state"},
      {21, {0, 0, 0, 0, 0x18}, 0, "reserved bits 3, 4 of FLG are set"},
      {21, {0, 0, 0, 0, 0, 0}, 0, "1 byte after the last field"},
      {21, {0, 0, 0, 0}, 139, "SRL 4 is shorter than the 5 bytes its fields need"},
      {22, {0x01, 0x03}, 0, "LIS1 3 is not a known loop state"},
      {22, {0x01, 0x10}, 0, "reserved bit 4 of the last loop state byte is set"},
      {22, {0xFF, 0, 0, 0}, 139, "SRL 4 is shorter than the 5 bytes its fields need"},
      {23, {0x01}, 139, "SRL 1 is shorter than the 2 bytes its fields need"},
      {24, {1, 2, 3}, 139, "SRL 3 is shorter than the 4 bytes its fields need"},
      {25, {1, 2, 3, 4, 5}, 0, "1 byte after the last field"},
      {26, {0x05, 0x00}, 0, "LIS 5 is not a known loop state"},
      {27, {0x30, 0, 0, 0, 0, 0, 0}, 0, "LLSVU 11 is not a defined unit"},
      {27, {0x80, 0, 0, 0, 0, 0, 0}, 0, "reserved bit 7 of FLG is set"},
      {27, {0x08, 0, 0}, 0, "RDF is set but no raw data follows"},
      {27, {0x00, 0, 0, 1, 2, 3}, 139, "SRL 6 is shorter than the 7 bytes its fields need"},
      {28, {0x02, 0, 0, 0, 0}, 0, "reserved bit 1 of FLG is set"},
      {28, {0x00, 0x03, 0, 0, 0, 1, 2, 3}, 139,
       "SRL 8 is shorter than the 9 bytes its fields need"},
      {28, {0x01, 0, 0, 0, 0, 0xAA}, 139, "SRL 6 is shorter than the 7 bytes its fields need"},
      {28, passengersRaw513, 0, "PCD holds 513 bytes, more than 512"},
  };
  for (const CheckCase& c : cases) {
    const Decoded d = Decode(kTele, c.srt, c.srd);
    ASSERT_NE(d.row, nullptr);
    const std::string where = std::string(d.row->name) + " " + c.check;
    EXPECT_EQ(d.result, c.result) << where;
    ASSERT_EQ(d.object->checks.size(), 1u) << where;
    EXPECT_EQ(d.object->checks[0], c.check);
  }
}

TEST(TeledataSubrecords, FixedPointTextsWithoutPrintf) {
  const struct {
    std::string text;
    const char* expected;
  } cases[] = {
      {ScaledText(106, 1), "10.6"},
      {ScaledText(5, 2), "0.05"},
      {ScaledText(0, 1), "0.0"},
      {ScaledText(16777215, 1), "1677721.5"},
      {ScaledText(42, 0), "42"},
      {DegreesText(51.6756934), "51.675693"},
      {DegreesText(-55.5918965), "-55.591897"},
      {DegreesText(-0.0000004), "0.000000"},
      {DegreesText(90.0), "90.000000"},
      {CodeText(3, "reply to a request"), "3 (reply to a request)"},
      {CodeText(40, nullptr), "40"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, c.expected);
}

TEST(TeledataSubrecords, PosDataTextReport) {
  const std::vector<Sub> subs = SubrecordsOf(kPosCheckFigure);
  ASSERT_EQ(subs.size(), 1u);
  const Decoded d = Decode(subs[0].rst, subs[0].srt, subs[0].srd);
  ASSERT_EQ(d.result, EGTS_PC_OK);
  std::string report;
  d.object->Report(&report);
  EXPECT_EQ(report,
            "       Navigation Time        - 0x0F74B4CB (21.03.2018 05:38:19 GMT)\n"
            "       Latitude               - 0x92FD1776 (51.675693)\n"
            "       Longitude              - 0x4F106443 (55.591896)\n"
            "       Flags                  - 00010001b\n"
            "         Altitude Exists      - 0\n"
            "         Longitude West       - 0\n"
            "         Latitude South       - 0\n"
            "         Moving               - 1\n"
            "         Black Box            - 0\n"
            "         PZ-90.02             - 0\n"
            "         3D Fix               - 0\n"
            "         Valid                - 1\n"
            "       Speed                  - 106 (10.6 km/h)\n"
            "         Altitude Below Sea   - 0\n"
            "         Heading Bit 8        - 0\n"
            "       Direction              - 0 (heading 0 degrees)\n"
            "       Odometer               - 0 (0.0 km)\n"
            "       Digital Inputs         - 00000001b\n"
            "       Source                 - 3 (reply to a request)\n"
            "       Source Data            - 0\n");
}

}  // namespace

// A word of bit fields is shown through its parts only, in their order.
TEST(TeledataSubrecords, PartsOfAWordInTheTextReport) {
  const struct {
    uint8_t srt;
    Bytes srd;
    const char* report;
  } cases[] = {
      {23, {0xC5, 0xAB},
       "       Sensor Number          - 2748\n"
       "       Sensor State           - 0101b\n"},
      {26, {0x34, 0x12},
       "       Loop Number            - 291\n"
       "       Loop State             - 4 (short to ground)\n"},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(kTele, c.srt, c.srd);
    ASSERT_EQ(d.result, EGTS_PC_OK);
    std::string report;
    d.object->Report(&report);
    EXPECT_EQ(report, c.report) << "SRT " << int{c.srt};
  }
}
