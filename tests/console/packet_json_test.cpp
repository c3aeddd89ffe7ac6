#include "console/packet_json.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <vector>

#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace {

using json = nlohmann::ordered_json;
using testing_support::Bytes;

const platform::SystemTime kNewYear2027{2027, 1, 1, 0, 0, 0, 0};

Bytes ReadExample(const char* name) {
  std::ifstream in(std::string(KORVANE_EXAMPLES_DIR) + "/" + name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The packet object of these bytes as a caller at a source would make it,
// parsed back; a line that is not JSON fails the parse (and the test).
json PacketObject(const Bytes& bytes, const platform::SystemTime& time = kNewYear2027,
                  std::vector<std::pair<std::string, std::string>> extra = {}) {
  PacketJson packet;
  packet.source = "file";
  packet.extra = extra;
  packet.time = time;
  packet.bytes = bytes;
  packet.transportResult =
      ValidateTransportHeader(bytes.data(), static_cast<uint16_t>(bytes.size()), packet.header);
  PacketHolder holder;
  if (packet.transportResult < 128) {
    packet.frameResult =
        ParseFrameData(bytes.data(), static_cast<uint16_t>(bytes.size()), packet.header, holder);
    packet.holder = &holder;
  }
  const std::string line = PacketJsonLine(packet);
  EXPECT_EQ(line.find('\n'), std::string::npos);
  return json::parse(line);
}

Bytes OneSubrecordPacket(uint8_t rst, uint8_t srt, const Bytes& srd) {
  testing_support::RecordFields fields;
  fields.SST = rst;
  fields.RST = rst;
  return testing_support::PacketBytes(
      1, testing_support::RecordBytes(fields, testing_support::SubrecordBytes(srt, srd)));
}

TEST(PacketJson, BundledExampleHoldsEveryDecodedValue) {
  const json packet = PacketObject(ReadExample("ecall_track_msd.bin"));
  const json& record = packet.at("/frame/records/0"_json_pointer);
  struct Case {
    const char* pointer;
    json expected;
  };
  const Case cases[] = {
      {"/type", "packet"},
      {"/time", "2027-01-01T00:00:00.000Z"},
      {"/transport/result", 0},
      {"/transport/PID", 257},
      {"/transport/FDL", 113},
      {"/frame/result_text", "OK"},
      {"/frame/records/0/OID", 1234},
      {"/frame/records/0/time", "2027-01-01T00:00:00Z"},
      {"/frame/records/0/service", "EGTS_ECALL_SERVICE"},
      {"/frame/records/0/subrecords/0/name", "EGTS_SR_TRACK_DATA"},
      {"/frame/records/0/subrecords/0/data/points/0/latitude", 55.74999998},
      {"/frame/records/0/subrecords/0/data/points/0/longitude", 37.61999997},
      {"/frame/records/0/subrecords/0/data/points/0/speed_kmh", 60.0},
      {"/frame/records/0/subrecords/0/data/points/0/heading", 300},
      {"/frame/records/0/subrecords/0/data/points/0/DIRH", 1},
      {"/frame/records/0/subrecords/0/data/points/1/TNDE", 0},
      {"/frame/records/0/subrecords/0/data/points/1/time", "2027-01-01T00:00:00.500Z"},
      {"/frame/records/0/subrecords/1/name", "EGTS_SR_ACCEL_DATA"},
      {"/frame/records/0/subrecords/1/data/ADS/0/time", "2027-01-01T00:00:00.250Z"},
      {"/frame/records/0/subrecords/1/data/ADS/0/x_ms2", -0.5},
      {"/frame/records/0/subrecords/1/data/ADS/0/y_ms2", 10.0},
      {"/frame/records/0/subrecords/1/data/ADS/0/z_ms2", 9.8},
      {"/frame/records/0/subrecords/2/data/VIN", "XTA21099043579312"},
      {"/frame/records/0/subrecords/2/data/time", "2027-01-01T00:00:00Z"},
      {"/frame/records/0/subrecords/2/data/latitude", 55.75},
      {"/frame/records/0/subrecords/2/data/longitude", 37.62},
      {"/frame/records/0/subrecords/2/data/heading", 90},
      {"/frame/records/0/subrecords/2/data/latitude_n1", 55.74666667},
      {"/frame/records/0/subrecords/2/data/VEHICLE_TYPE_name", "passenger car (Class M1)"},
      {"/frame/records/0/subrecords/2/data/CALL_TYPE_name", "test"},
      {"/frame/records/0/subrecords/2/data/propulsion", json::array({"diesel", "petrol"})},
      {"/frame/records/0/subrecords/3/name", "EGTS_SR_ECALL_RAW_MSD_DATA"},
      {"/frame/records/0/subrecords/3/data/MSD", "000102030405060708090A0B0C0D0E0F"},
      {"/frame/records/0/subrecords/0/checks", json::array()},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(packet.at(json::json_pointer(c.pointer)), c.expected) << c.pointer;
  }
  EXPECT_EQ(record.at("subrecords").size(), 4u);
  EXPECT_FALSE(packet.at("frame").contains("malformed"));
}

TEST(PacketJson, TimesAheadOfTheReceptionAreChecked) {
  const platform::SystemTime twoDaysBefore{2026, 12, 30, 0, 0, 0, 0};
  const json packet = PacketObject(ReadExample("ecall_track_msd.bin"), twoDaysBefore);
  const json& subrecords = packet.at("/frame/records/0/subrecords"_json_pointer);
  EXPECT_EQ(subrecords[0].at("checks"),
            json::array({"ATM 01.01.2027 00:00:00 GMT is more than one day after the reception"}));
  EXPECT_EQ(subrecords[1].at("checks").size(), 1u);
  EXPECT_TRUE(subrecords[2].at("checks").empty());  // the MSD time counts from 1970
}

// Transport faults: what the transport object holds and whether a frame
// follows.
TEST(PacketJson, TransportObjectFollowsHowFarTheHeaderWasRead) {
  const Bytes good = ReadExample("ecall_track_msd.bin");
  Bytes badVersion = good;
  badVersion[0] = 2;
  Bytes badHeaderLength = good;
  badHeaderLength[3] = 12;
  Bytes badHcs = good;
  badHcs[10] ^= 0xFF;
  Bytes badSfrcs = good;
  badSfrcs.back() ^= 0xFF;
  struct Case {
    const char* name;
    Bytes bytes;
    int result;
    const char* lastKey;  // the last header field given; null: none
    bool frame;
  };
  const Case cases[] = {
      {"five bytes", Bytes(good.begin(), good.begin() + 5), 139, nullptr, false},
      {"version 2", badVersion, 128, "PR", false},
      {"header length 12", badHeaderLength, 131, "PT", false},
      {"header check sum", badHcs, 137, "HCS", false},
      {"frame check sum", badSfrcs, 0, "HCS", true},
  };
  for (const Case& c : cases) {
    const json packet = PacketObject(c.bytes);
    const json& transport = packet.at("transport");
    EXPECT_EQ(transport.at("result"), c.result) << c.name;
    EXPECT_EQ(transport.at("result_text"), ResultCodeText(c.result)) << c.name;
    EXPECT_EQ(transport.items().begin().key(), "result") << c.name;
    const std::string last = (--transport.end()).key();
    EXPECT_EQ(last, c.lastKey ? c.lastKey : "result_text") << c.name;
    EXPECT_EQ(packet.contains("frame"), c.frame) << c.name;
  }
  const json broken = PacketObject(badSfrcs);
  EXPECT_EQ(broken.at("/frame/result"_json_pointer), 138);
  EXPECT_TRUE(broken.at("/frame/records"_json_pointer).empty());
}

TEST(PacketJson, RoutedHeaderAndResponseFields) {
  const Bytes frame = {0x34, 0x12, 0x00};  // RPID 0x1234, PR 0, no records
  const json packet = PacketObject(testing_support::RoutedPacketBytes(0, frame, 7, 0, 5));
  EXPECT_EQ(packet.at("/transport/RCA"_json_pointer), 0);
  EXPECT_EQ(packet.at("/transport/TTL"_json_pointer), 5);
  EXPECT_EQ(packet.at("/frame/RPID"_json_pointer), 0x1234);
  EXPECT_EQ(packet.at("/frame/PR"_json_pointer), 0);
  EXPECT_FALSE(packet.at("frame").contains("SIGL"));

  const Bytes signedFrame = {0x02, 0x00, 'A', 'B'};  // SIGL 2, SIGD "AB", no records
  const json signedPacket = PacketObject(testing_support::PacketBytes(2, signedFrame));
  EXPECT_FALSE(signedPacket.at("transport").contains("TTL"));
  EXPECT_EQ(signedPacket.at("/frame/SIGL"_json_pointer), 2);
  EXPECT_EQ(signedPacket.at("/frame/SIGD"_json_pointer), "4142");
  EXPECT_FALSE(signedPacket.at("frame").contains("RPID"));
}

// One subrecord per row, decoded by the factory: a value of its data.
TEST(PacketJson, SubrecordDataOfEachClass) {
  struct Case {
    uint8_t rst;
    uint8_t srt;
    Bytes srd;
    const char* pointer;   // inside the subrecord object
    const char* expected;  // JSON text
  };
  const Bytes logger = {0x07, 1,  2,   3, 4,   5, 6,   'A', 8,    9,   10,
                        11,   12, 'c', 0, 'm', 0, '1', 0,   0xD1, 0xD2};
  const Bytes selftest = {0x10, 1, 0, 0, 0, 2, 0, 0, 0, 0x00, 0x01, 0x00, 0x02, 0x00, 'O', 'K', 0};
  // SA 1, ATM 0; one point: LOHS set, LAHS clear, LAT 90 degrees, LONG
  // 180 degrees, SPD 12.34 km/h, DIR 10.
  const Bytes track = {1,    0,    0,    0,    0,    0xC0, 0xFF, 0xFF, 0xFF,
                       0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xD2, 0x04, 10};
  const Case cases[] = {
      {1, 4, {0x0A, 0x05}, "/data", R"({"ST":10,"ST_name":"EGTS_ECALL_SERVICE","SRVP":5})"},
      {1, 4, {0x03, 0x00}, "/data/ST_name", "null"},
      {1, 5, {0x01, 0x02}, "/SRD", R"("0102")"},  // nothing decoded
      {2, 9, {139}, "/data", R"({"RCD":139,"RCD_text":"Incorrect data length"})"},
      {2,
       0,
       {0x07, 0x00, 0x8A},
       "/data",
       R"({"CRN":7,"RST":138,"RST_text":"Data check sum error"})"},
      {17,
       57,
       {1, '1', '2', 0, 0xAA, 0xBB},
       "/data",
       R"({"FLAGS":1,"PHONE_NUMBER":"12","DATA":"AABB"})"},
      {16, 56, logger, "/data/TYPE_char", R"("A")"},
      {16, 56, logger, "/data/MODULE_NAME", R"("m")"},
      {16, 56, logger, "/data/DATA", R"("D1D2")"},
      {4, 51, selftest, "/data/CT_name", R"("EGTS_CT_COMCONF")"},
      {4, 51, selftest, "/data/CCD_name", R"("EGTS_SELFTEST_RESULT")"},
      {4, 51, selftest, "/data/selftest_result", R"("OK")"},
      {4, 51, selftest, "/data/ADR", "1"},
      {10, 40, {1}, "/data", R"({"FORMAT":1,"MSD":""})"},
      {10, 62, track, "/data/points/0/latitude", "-90.0"},
      {10, 62, track, "/data/points/0/longitude", "-180.0"},
      {10, 62, track, "/data/points/0/speed_kmh", "12.34"},
      {10, 62, track, "/data/points/0/DIRH", "0"},
      {10, 62, {1, 0, 0, 0, 0}, "/SRD", R"("0100000000")"},  // too short: no object
      {10, 99, {0xAB}, "/name", "null"},
  };
  for (const Case& c : cases) {
    const json packet = PacketObject(OneSubrecordPacket(c.rst, c.srt, c.srd));
    const json& subrecord = packet.at("/frame/records/0/subrecords/0"_json_pointer);
    ASSERT_TRUE(subrecord.contains(json::json_pointer(c.pointer))) << subrecord.dump();
    EXPECT_EQ(subrecord.at(json::json_pointer(c.pointer)), json::parse(c.expected))
        << int{c.srt} << " " << c.pointer;
  }
}

// The report and the JSON show one latitude and longitude for a point.
TEST(PacketJson, TrackPointAgreesWithItsReport) {
  const Bytes track = {2,    0,    0,    0,    0,    0xA0, 0x00, 0x00, 0x00, 0x80,
                       0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xC0, 0x00, 0x00,
                       0x00, 0x40, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00};
  const Bytes bytes = OneSubrecordPacket(10, 62, track);
  const json points =
      PacketObject(bytes).at("/frame/records/0/subrecords/0/data/points"_json_pointer);
  TransportHeader header;
  ValidateTransportHeader(bytes.data(), static_cast<uint16_t>(bytes.size()), header);
  PacketHolder holder;
  ASSERT_EQ(ParseFrameData(bytes.data(), static_cast<uint16_t>(bytes.size()), header, holder), 0);
  std::string report;
  holder.packet->records[0].subrecords[0].object->Report(&report);
  ASSERT_EQ(points.size(), 2u);
  for (const json& point : points) {
    const double lat = point.at("latitude");
    const double lon = point.at("longitude");
    const std::string latText = StringPrintf("(%c%.8lf)", lat >= 0 ? 'N' : 'S', std::abs(lat));
    const std::string lonText = StringPrintf("(%c%.8lf)", lon < 0 ? 'W' : 'E', std::abs(lon));
    EXPECT_NE(report.find(latText), std::string::npos) << latText << "\n" << report;
    EXPECT_NE(report.find(lonText), std::string::npos) << lonText << "\n" << report;
  }
}

TEST(PacketJson, AnyBytesInStringsGiveValidJson) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte.push_back(static_cast<char>(b));
  Bytes phone = {0x00};  // flags
  for (int b = 0xC0; b < 0xC0 + 24; ++b) phone.push_back(static_cast<uint8_t>(b));
  phone.push_back(0);
  Bytes logger = {0, 0, 0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0};
  for (int b = 1; b < 256; b += 8) logger.push_back(static_cast<uint8_t>(b));
  logger.push_back(0);
  const json wrapped = PacketObject(OneSubrecordPacket(17, 57, phone), kNewYear2027,
                                    {{"file", everyByte}, {"peer", "\xC3\x28"}});
  EXPECT_EQ(wrapped.at("/frame/records/0/subrecords/0/data/PHONE_NUMBER"_json_pointer),
            "\xD0\x90\xD0\x91\xD0\x92\xD0\x93\xD0\x94\xD0\x95\xD0\x96\xD0\x97\xD0\x98\xD0\x99\xD0"
            "\x9A\xD0\x9B\xD0\x9C\xD0\x9D\xD0\x9E\xD0\x9F\xD0\xA0\xD0\xA1\xD0\xA2\xD0\xA3\xD0"
            "\xA4\xD0\xA5\xD0\xA6\xD0\xA7");  // А..Ч
  // The ASCII part of a name survives; bytes that are no UTF-8 become U+FFFD.
  const std::string file = wrapped.at("file");
  EXPECT_EQ(file.substr(0, 128), everyByte.substr(0, 128));
  EXPECT_NE(file.find("\xEF\xBF\xBD"), std::string::npos);
  EXPECT_EQ(wrapped.at("peer"), "\xEF\xBF\xBD(");

  const json loggerObject = PacketObject(OneSubrecordPacket(16, 56, logger));
  const std::string name =
      loggerObject.at("/frame/records/0/subrecords/0/data/COMPONENT_NAME"_json_pointer);
  EXPECT_EQ(name.size() > 32, true);  // high bytes grew into two-byte characters
  EXPECT_EQ(loggerObject.at("/frame/records/0/subrecords/0/data/TYPE_char"_json_pointer), "я");

  const json log = json::parse(LogJsonLine(kNewYear2027, everyByte, "INFO", everyByte + "\n"));
  EXPECT_EQ(log.at("type"), "log");
  EXPECT_EQ(log.at("time"), "2027-01-01T00:00:00.000Z");
  EXPECT_EQ(log.at("level"), "INFO");
  EXPECT_EQ(log.at("text").get<std::string>().substr(0, 128), everyByte.substr(0, 128));
}

// The lines read as they did when RapidJSON's writer wrote them: the same
// escapes for every ASCII byte, UTF-8 taken as it is.
TEST(PacketJson, TextsAreEscapedAsRapidJsonEscapesThem) {
  std::string text;
  for (int b = 0; b < 128; ++b) text.push_back(static_cast<char>(b));
  // Bytes to escape anywhere within runs that need none.
  text += "\xD0\xAF plain run one\"plain run two\\plain run three\x1F plain run four\x7F";
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  writer.String(text.data(), static_cast<rapidjson::SizeType>(text.size()));
  const std::string line = LogJsonLine(kNewYear2027, "Main", "INFO", text);
  const std::string expected = std::string(",\"text\":") + buffer.GetString() + "}";
  ASSERT_GE(line.size(), expected.size());
  EXPECT_EQ(line.substr(line.size() - expected.size()), expected);
}

TEST(PacketJson, MalformedRecordAreaIsFlagged) {
  PacketJson packet;
  packet.source = "stdin";
  const Bytes bytes = ReadExample("ecall_track_msd.bin");
  packet.bytes = bytes;
  packet.transportResult =
      ValidateTransportHeader(bytes.data(), static_cast<uint16_t>(bytes.size()), packet.header);
  PacketHolder holder;
  packet.frameResult =
      ParseFrameData(bytes.data(), static_cast<uint16_t>(bytes.size()), packet.header, holder);
  packet.holder = &holder;
  packet.malformed = true;
  const json object = json::parse(PacketJsonLine(packet));
  EXPECT_EQ(object.at("frame").items().begin().key(), "malformed");
  EXPECT_EQ(object.at("/frame/malformed"_json_pointer), true);
  EXPECT_EQ(object.at("source"), "stdin");
}

}  // namespace
