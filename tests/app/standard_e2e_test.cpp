// The standard's subrecords (-x), end to end through korvane -c: the text
// report, the JSON of -j, and -v without -x left as it was.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "support/json_lines.h"
#include "support/packet_builder.h"
#include "support/run_korvane.h"
#include "transport/checksum.h"
#include "util/text.h"

namespace {

using namespace testing_support;
using nlohmann::json;

// The public test packets of the standard's sheet.
const char kTeledata[] =
    "0100020b004f00ae1101d24400ae1191af8304000202101800d9238213008dcea08070ec789338003c000000010082"
    "00001106001a740007020014050000180000041207000f000010000000130100001b0700010000af0f0000312a";
const char kCheckFigure[] =
    "0100020B0025003A5701C91A003A5701CD6E68490202101700CBB4740F7617FD924364104F116A000000000001030000"
    "1EC2";
const char kTermIdentity[] =
    "0100000b0038002f0101a32d007f01816d04000001010116006d04000052383631373135303333393833393833ff00"
    "02110005000000000000000000010023544e230045cb";
const char kDispatcher[] =
    "0100020b002300020001871c00020000010105190000ab0800006247396e615734366347467a63336476636d513daadf";
const char kAuthInfo[] =
    "0100010b003300010001ea280000000c449811110101072500383030004546323834453741453335314436444639"
    "324345333233443734414432454233009261";

constexpr uint8_t kAuth = 1;
constexpr uint8_t kTeledataService = 2;
constexpr int64_t kEgtsEpoch = 1262304000;

std::string ServiceLayer(const RunResult& r) {
  const size_t start = r.output.find("\nEGTS Service Layer:");
  const size_t end = r.output.find("\n-------------------------------------------------------------\n");
  if (start == std::string::npos || end == std::string::npos) return "";
  return r.output.substr(start, end - start);
}

json PacketObject(const RunResult& r) {
  size_t at = 0;
  while (at < r.output.size()) {
    const size_t end = r.output.find('\n', at);
    const std::string line = r.output.substr(at, end == std::string::npos ? end : end - at);
    if (line.rfind("{\"type\":\"packet\"", 0) == 0) return json::parse(line);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return json();
}

void PutU24(Bytes& out, uint32_t value) {
  for (int shift = 0; shift < 24; shift += 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

// POS_DATA from its layout: NTM, LAT, LONG, FLG, SPD word, DIR, ODM, DIN,
// SRC, then ALT when FLG bit 7 says so, then SRCD when given.
Bytes PosData(uint32_t ntm, uint8_t flg, uint16_t spdWord, std::optional<uint16_t> srcd) {
  Bytes srd;
  PutU32(srd, ntm);
  PutU32(srd, 0x92FD1776);
  PutU32(srd, 0x4F106443);
  srd.push_back(flg);
  PutU16(srd, spdWord);
  srd.push_back(0x2D);  // DIR
  PutU24(srd, 1234);    // ODM
  srd.push_back(0x01);  // DIN
  srd.push_back(13);    // SRC
  if (flg & 0x80) PutU24(srd, 250);
  if (srcd) PutU16(srd, *srcd);
  return srd;
}

std::string TeledataPacket(const Bytes& subrecords) {
  return Hex(PacketBytes(
      1, RecordBytes({.RN = 7, .SST = kTeledataService, .RST = kTeledataService}, subrecords)));
}

// ---------------------------------------------------------------------------
// The public packets: every result 0, the names and the key values.

struct PublicCase {
  const char* name;
  const char* hex;
  std::vector<std::string> textLines;
  // (subrecord index, key, value): numbers compared as numbers, strings as strings.
  std::vector<std::tuple<size_t, std::string, json>> jsonValues;
};

const std::vector<PublicCase>& PublicCases() {
  static const std::vector<PublicCase> cases = {
      {"teledata",
       kTeledata,
       {"      Type              - 16 (EGTS_SR_POS_DATA)\n",
        "      Type              - 17 (EGTS_SR_EXT_POS_DATA)\n",
        "      Type              - 20 (EGTS_SR_STATE_DATA)\n",
        "      Type              - 18 (EGTS_SR_AD_SENSORS_DATA)\n",
        "      Type              - 19 (EGTS_SR_COUNTERS_DATA)\n",
        "      Type              - 27 (EGTS_SR_LIQUID_LEVEL_SENSOR)\n",
        "       Altitude               - 130 (130 m)\n", "       HDOP                   - 116 (1.16)\n",
        "       Satellites             - 7\n",
        "       Navigation Systems     - 0000000000000010b (GPS)\n",
        "         Sensor Number        - 1\n", "       Level                  - 4015\n",
        "      RPP               - 10b\n"},
       {{0, "altitude_m", 130},
        {0, "SRC", 0},
        {1, "SAT", 7},
        {1, "NS", 2},
        {1, "hdop", 1.16},
        {2, "ST", 0},
        {3, "ADIO1", 16},
        {4, "CFE", 0},
        {5, "LLSN", 1},
        {5, "LLSD", 4015}}},
      {"check figure",
       kCheckFigure,
       {"       Navigation Time        - 0x0F74B4CB (21.03.2018 05:38:19 GMT)\n",
        "       Latitude               - 0x92FD1776 (51.67569", "       Longitude              - 0x4F106443 (55.59189",
        "       Speed                  - 106 (10.6 km/h)\n",
        "       Source                 - 3 (reply to a request)\n",
        "       Source Data            - 0\n"},
       {{0, "time", "2018-03-21T05:38:19Z"},
        {0, "latitude", 51.67569},
        {0, "longitude", 55.59189},
        {0, "speed_kmh", 10.6},
        {0, "SRC", 3},
        {0, "SRCD", 0}}},
      {"terminal identity",
       kTermIdentity,
       {"      Type              - 1 (EGTS_SR_TERM_IDENTITY)\n",
        "      Type              - 2 (EGTS_SR_MODULE_DATA)\n",
        "       Terminal ID            - 1133\n", "       IMEI                   - '861715033983983'\n",
        "       Buffer Size            - 255\n", "       Description            - '#TN#'\n"},
       {{0, "TID", 1133},
        {0, "IMEI", "861715033983983"},
        {0, "BS", 255},
        {0, "SSRA", 1},
        {1, "DSCR", "#TN#"},
        {1, "ST", 1}}},
      {"dispatcher identity",
       kDispatcher,
       {"      Type              - 5 (EGTS_SR_DISPATCHER_IDENTITY)\n",
        "       Dispatcher Type        - 0\n", "       Dispatcher ID          - 2219\n"},
       {{0, "DT", 0}, {0, "DID", 2219}}},
      {"auth info",
       kAuthInfo,
       {"      Type              - 7 (EGTS_SR_AUTH_INFO)\n", "       User Name              - '800'\n",
        "       User Password          - 'EF284E7AE351D6DF92CE323D74AD2EB3'\n"},
       {{0, "UNM", "800"}, {0, "UPSW", "EF284E7AE351D6DF92CE323D74AD2EB3"}}},
  };
  return cases;
}

TEST(StandardEndToEnd, PublicPacketsInTheTextReport) {
  for (const PublicCase& c : PublicCases()) {
    SCOPED_TRACE(c.name);
    const std::string layer = ServiceLayer(RunKorvaneBinary({"-x", "-c"}, c.hex));
    ASSERT_FALSE(layer.empty());
    for (const std::string& line : c.textLines) EXPECT_NE(layer.find(line), std::string::npos) << line;
    // Every result line of the packet, record and subrecords is 0.
    size_t results = 0;
    for (size_t at = layer.find("Result"); at != std::string::npos; at = layer.find("Result", at + 1)) {
      const size_t dash = layer.find("- ", at);
      EXPECT_EQ(layer.compare(dash, 8, "- 0 (OK)"), 0) << layer.substr(at, 60);
      ++results;
    }
    EXPECT_GE(results, 2u);
    EXPECT_EQ(layer.find("Check"), std::string::npos);
  }
}

TEST(StandardEndToEnd, PublicPacketsInJson) {
  for (const PublicCase& c : PublicCases()) {
    SCOPED_TRACE(c.name);
    const json packet = PacketObject(RunKorvaneBinary({"-j", "-x", "-c"}, c.hex));
    ASSERT_TRUE(packet.is_object());
    EXPECT_EQ(packet["frame"]["result"], 0);
    const json& subrecords = packet["frame"]["records"][0]["subrecords"];
    for (const json& subrecord : subrecords) {
      EXPECT_EQ(subrecord["result"], 0);
      EXPECT_TRUE(subrecord["checks"].empty()) << subrecord["checks"].dump();
    }
    for (const auto& [index, key, expected] : c.jsonValues) {
      ASSERT_LT(index, subrecords.size());
      const json& value = subrecords[index]["data"][key];
      if (expected.is_number_float()) {
        ASSERT_TRUE(value.is_number()) << key;
        EXPECT_NEAR(value.get<double>(), expected.get<double>(), 0.00001) << key;
      } else {
        EXPECT_EQ(value, expected) << key;
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Crafted records: what goes on past a fault and what stops the parse.

TEST(StandardEndToEnd, UnknownTypeBetweenTwoPositions) {
  const Bytes pos1 = PosData(259306699, 0x91, 106, 0);
  const Bytes pos2 = PosData(259306700, 0x01, 0x8000 | 50, std::nullopt);  // DIRH set
  const std::string hex = TeledataPacket(Concat({SubrecordBytes(16, pos1),
                                                  SubrecordBytes(99, {0xDE, 0xAD, 0x01}),
                                                  SubrecordBytes(16, pos2)}));
  const std::string layer = ServiceLayer(RunKorvaneBinary({"-x", "-c"}, hex));
  EXPECT_NE(layer.find("    Record Result       - 0 (OK)\n"), std::string::npos);
  EXPECT_NE(layer.find("      Type              - 99 (unspecified)\n      Length            - 3\n"
                       "      Result            - 165 (ERROR: Unknown service subrecord type)\n"
                       "       Data                   - DEAD01\n    Subrecord 3:\n"
                       "      Type              - 16 (EGTS_SR_POS_DATA)\n"),
            std::string::npos)
      << layer;
  EXPECT_NE(layer.find("       Direction              - 45 (heading 301 degrees)\n"),
            std::string::npos);

  const json packet = PacketObject(RunKorvaneBinary({"-j", "-x", "-c"}, hex));
  const json& record = packet["frame"]["records"][0];
  EXPECT_EQ(record["result"], 0);
  ASSERT_EQ(record["subrecords"].size(), 3u);
  EXPECT_EQ(record["subrecords"][1]["result"], 165);
  EXPECT_EQ(record["subrecords"][1]["SRD"], "DEAD01");
  EXPECT_EQ(record["subrecords"][0]["data"]["altitude_m"], 250);
  EXPECT_EQ(record["subrecords"][2]["data"]["heading"], 301);
  EXPECT_EQ(record["subrecords"][2]["data"]["NTM"], 259306700);
}

struct CraftedCase {
  const char* name;
  Bytes subrecords;
  std::vector<std::string> textLines;   // each must appear in the -x report
  std::vector<std::string> absent;      // each must not
  std::vector<std::pair<size_t, int>> results;  // (index, result) of JSON entries
  size_t entries;
};

TEST(StandardEndToEnd, CraftedRecords) {
  Bytes accel{1};  // SA 1
  PutU32(accel, 259306699);
  PutU16(accel, 20);
  PutU16(accel, 0x8000 | 98);  // X -9.8 m/s^2
  PutU16(accel, 0);
  PutU16(accel, 5);
  Bytes shortAlt = PosData(259306699, 0x80, 0, std::nullopt);  // ALTE, ALT cut off
  shortAlt.resize(21);
  Bytes beyond = SubrecordBytes(16, PosData(259306699, 0, 0, std::nullopt));
  beyond[1] = 200;  // SRL beyond the record data
  const std::vector<CraftedCase> cases = {
      {"state data under 20",
       SubrecordBytes(20, {3, 125, 41, 40, 0x07}),
       {"      Type              - 20 (EGTS_SR_STATE_DATA)\n      Length            - 5\n"
        "      Result            - 0 (OK)\n",
        "(emergency call)", "12.5 V"},
       {"Check"},
       {{0, 0}},
       1},
      {"accel data under 20",
       SubrecordBytes(20, accel),
       {"      Type              - 20 (EGTS_SR_ACCEL_DATA)\n      Length            - 13\n"
        "      Result            - 0 (OK)\n"},
       {"Check"},
       {{0, 0}},
       1},
      {"failing position then a good one",
       Concat({SubrecordBytes(16, shortAlt), SubrecordBytes(16, PosData(259306699, 0, 106, 0))}),
       {"      Result            - 139 (ERROR: Incorrect data length)\n",
        "       Check                  - SRL 21 is shorter than the 24 bytes its fields need\n",
        "    Subrecord 2:\n      Type              - 16 (EGTS_SR_POS_DATA)\n      Length            - 23\n"
        "      Result            - 0 (OK)\n",
        "       Speed                  - 106 (10.6 km/h)\n"},
       {},
       {{0, 139}, {1, 0}},
       2},
      {"length beyond the record stops the parse",
       Concat({SubrecordBytes(19, {0x00}), beyond, SubrecordBytes(19, {0x00})}),
       {"    Subrecord 2:\n      Type              - 16 (EGTS_SR_POS_DATA)\n"
        "      Length            - 200\n      Result            - 139 (ERROR: Incorrect data length)\n"},
       {"Subrecord 3:", "Record 2:"},
       {{0, 0}, {1, 139}},
       2},
  };
  for (const CraftedCase& c : cases) {
    SCOPED_TRACE(c.name);
    // A second record follows; a parse that stops never reaches it.
    const Bytes frame = Concat(
        {RecordBytes({.RN = 7, .SST = kTeledataService, .RST = kTeledataService}, c.subrecords),
         RecordBytes({.RN = 8, .SST = kAuth, .RST = kAuth}, SubrecordBytes(9, {0}))});
    const std::string hex = Hex(PacketBytes(1, frame));
    const std::string layer = ServiceLayer(RunKorvaneBinary({"-x", "-c"}, hex));
    for (const std::string& line : c.textLines) EXPECT_NE(layer.find(line), std::string::npos) << line;
    for (const std::string& text : c.absent) EXPECT_EQ(layer.find(text), std::string::npos) << text;

    const json packet = PacketObject(RunKorvaneBinary({"-j", "-x", "-c"}, hex));
    const json& subrecords = packet["frame"]["records"][0]["subrecords"];
    ASSERT_EQ(subrecords.size(), c.entries);
    for (const auto& [index, result] : c.results) EXPECT_EQ(subrecords[index]["result"], result);
  }
}

TEST(StandardEndToEnd, PositionTimeAfterTheReceptionIsChecked) {
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  const auto future = static_cast<uint32_t>(now - kEgtsEpoch + 3 * 86400);
  const auto past = static_cast<uint32_t>(now - kEgtsEpoch - 3600);
  const std::string hex = TeledataPacket(Concat({SubrecordBytes(16, PosData(future, 0, 0, 0)),
                                                  SubrecordBytes(16, PosData(past, 0, 0, 0))}));
  const std::string layer = ServiceLayer(RunKorvaneBinary({"-x", "-c"}, hex));
  const size_t check = layer.find("       Check                  - NTM ");
  ASSERT_NE(check, std::string::npos) << layer;
  EXPECT_LT(check, layer.find("Subrecord 2:"));
  EXPECT_NE(layer.find(" is more than one day after the reception\n", check), std::string::npos);
  EXPECT_EQ(layer.find("Check", layer.find('\n', check)), std::string::npos) << layer;

  const json packet = PacketObject(RunKorvaneBinary({"-j", "-x", "-c"}, hex));
  const json& subrecords = packet["frame"]["records"][0]["subrecords"];
  ASSERT_EQ(subrecords.size(), 2u);
  ASSERT_EQ(subrecords[0]["checks"].size(), 1u);
  EXPECT_NE(subrecords[0]["checks"][0].get<std::string>().find("more than one day after"),
            std::string::npos);
  EXPECT_TRUE(subrecords[1]["checks"].empty());
}

// ---------------------------------------------------------------------------
// Headers cut short: the fields that are there, their bytes, 131, and the
// packet marked malformed; with -v alone the report stays as it was.

constexpr char kMalformedLine[] = "Service Layer Parser: Incorrect Record Data format\n";

TEST(StandardEndToEnd, SubrecordHeaderCutShortShowsItsTypeAndBytes) {
  // The record data ends with 10 15: SRT 16 and half of an SRL.
  const std::string hex = "0100000B000D00000001D70200000001EF00000002021015FD22";
  const RunResult text = RunKorvaneBinary({"-x", "-c"}, hex);
  EXPECT_NE(text.output.find(kMalformedLine), std::string::npos);
  EXPECT_NE(ServiceLayer(text).find("    Subrecord 1:\n      Type              - 16 (EGTS_SR_POS_DATA)\n"
                                    "      Result            - 131 (ERROR: Header structure error)\n"
                                    "       Data                   - 1015\n"),
            std::string::npos)
      << ServiceLayer(text);

  const RunResult run = RunKorvaneBinary({"-j", "-x", "-c"}, hex);
  EXPECT_EQ(SchemaFindings(run.output), "");
  const json packet = PacketObject(run);
  EXPECT_EQ(packet["frame"]["malformed"], true);
  const json& entry = packet["frame"]["records"][0]["subrecords"][0];
  EXPECT_EQ(entry["SRT"], 16);
  EXPECT_FALSE(entry.contains("SRL"));
  EXPECT_EQ(entry["result"], 131);
  EXPECT_EQ(entry["header_bytes"], "1015");

  const RunResult verbose = RunKorvaneBinary({"-v", "-c"}, hex);
  EXPECT_EQ(verbose.output.find(kMalformedLine), std::string::npos);
  EXPECT_NE(ServiceLayer(verbose).find("      Type              - 0 (EGTS_SR_RECORD_RESPONSE)\n"
                                       "      Length            - 0\n"),
            std::string::npos);
}

TEST(StandardEndToEnd, RecordHeaderCutShortShowsTheFieldsThatAreThere) {
  struct Case {
    const char* name;
    Bytes frame;
    std::string lines;  // the record's lines in the -x report
    json fields;        // the record's keys in JSON beside result, result_text and subrecords
  };
  const std::vector<Case> cases = {
      {"six bytes: RL 4, RN 1, RFL 0, SST 2",
       {0x04, 0x00, 0x01, 0x00, 0x00, 0x02},
       "    Record Length       - 4\n    Record Number       - 1\n"
       "    Record Flags        - 00000000b (0x00)\n      SSOD              - 0\n"
       "      RSOD              - 0\n      GRP               - 0\n      RPP               - 00b\n"
       "    Source Service      - 2 (EGTS_TELEDATA_SERVICE)\n"
       "    Record Result       - 131 (ERROR: Header structure error)\n"
       "    Header Bytes        - 040001000002\n",
       {{"RL", 4}, {"RN", 1}, {"RFL", 0}, {"SSOD", 0}, {"RSOD", 0}, {"GRP", 0}, {"RPP", 0},
        {"OBFE", 0}, {"EVFE", 0}, {"TMFE", 0}, {"SST", 2}, {"header_bytes", "040001000002"}}},
      {"OBFE set, OID cut",
       {0x04, 0x00, 0x01, 0x00, 0x01, 0xEF, 0x00, 0x00},
       "    Record Length       - 4\n    Record Number       - 1\n"
       "    Record Flags        - 00000001b (0x01)\n      SSOD              - 0\n"
       "      RSOD              - 0\n      GRP               - 0\n      RPP               - 00b\n"
       "    Record Result       - 131 (ERROR: Header structure error)\n"
       "    Header Bytes        - 0400010001EF0000\n",
       {{"RL", 4}, {"RN", 1}, {"RFL", 1}, {"SSOD", 0}, {"RSOD", 0}, {"GRP", 0}, {"RPP", 0},
        {"OBFE", 1}, {"EVFE", 0}, {"TMFE", 0}, {"header_bytes", "0400010001EF0000"}}},
      {"three bytes: RL only", {0x07, 0x00, 0x06},
       "    Record Length       - 7\n    Record Result       - 131 (ERROR: Header structure error)\n"
       "    Header Bytes        - 070006\n",
       {{"RL", 7}, {"header_bytes", "070006"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string hex = Hex(PacketBytes(1, c.frame));
    const RunResult text = RunKorvaneBinary({"-x", "-c"}, hex);
    EXPECT_NE(text.output.find(kMalformedLine), std::string::npos);
    EXPECT_EQ(ServiceLayer(text), "\nEGTS Service Layer:\n-------------------\n"
                                  "  Parsing result      - 0 (OK)\n\n  Record 1:\n" + c.lines);

    const RunResult run = RunKorvaneBinary({"-j", "-x", "-c"}, hex);
    EXPECT_EQ(SchemaFindings(run.output), "");
    const json packet = PacketObject(run);
    EXPECT_EQ(packet["frame"]["malformed"], true);
    json record = packet["frame"]["records"][0];
    EXPECT_EQ(record["result"], 131);
    EXPECT_EQ(record["checks"], json::array());
    for (const char* key : {"result", "result_text", "subrecords", "checks"}) record.erase(key);
    EXPECT_EQ(record, c.fields);
  }
}

// Keys the schema's rule refused once: versions as texts, the object data's
// length and check sum as decoded values.
TEST(StandardEndToEnd, VersionAndObjectKeysFollowTheSchema) {
  const std::vector<std::pair<std::string, json>> cases = {
      {"0100000B001E00010001A9170001000001010214000107000000020104030101534E31006465736300D28E",
       {{"FWV", 258}, {"FWV_text", "1.2"}, {"SWV", 772}, {"SWV_text", "3.4"}, {"SRN", "SN1"}}},
      {"0100000B0013000100015B0C00010000090921090001000200020061626316E0",
       {{"PN", 2}, {"EPQ", 2}, {"od_length", 3}, {"OD", "616263"}}},
  };
  for (const auto& [hex, values] : cases) {
    const RunResult run = RunKorvaneBinary({"-j", "-x", "-c"}, hex);
    EXPECT_EQ(SchemaFindings(run.output), "") << hex;
    const json data = PacketObject(run)["frame"]["records"][0]["subrecords"][0]["data"];
    for (const auto& [key, value] : values.items()) EXPECT_EQ(data[key], value) << key;
  }
}

// An object uploaded in three parts is rebuilt from the JSON lines alone:
// every part's OD whole, the first part's header and WOS; the text report
// shows only the first bytes of each part.
TEST(StandardEndToEnd, UploadedObjectIsRebuiltFromTheJson) {
  Bytes object;
  for (unsigned i = 0; i < 300; ++i) object.push_back(static_cast<uint8_t>(i * 7 + 3));
  const uint16_t wos = Crc16(object.data(), static_cast<uint16_t>(object.size()));
  const std::vector<Bytes> pieces = {Bytes(object.begin(), object.begin() + 100),
                                     Bytes(object.begin() + 100, object.begin() + 220),
                                     Bytes(object.begin() + 220, object.end())};
  Bytes rebuilt;
  std::optional<unsigned> signature;
  for (uint16_t pn = 1; pn <= pieces.size(); ++pn) {
    Bytes srd;
    PutU16(srd, 0x21);
    PutU16(srd, pn);
    PutU16(srd, static_cast<uint16_t>(pieces.size()));
    if (pn == 1) {  // ODH: OA, CMI, VER 1.2, WOS, FN "fw.bin" and its 0 byte
      srd = Concat({srd, {0x00, 0x01, 0x02, 0x01, static_cast<uint8_t>(wos),
                          static_cast<uint8_t>(wos >> 8), 'f', 'w', '.', 'b', 'i', 'n', 0}});
    }
    srd = Concat({srd, pieces[pn - 1]});
    const std::string hex = Hex(PacketBytes(
        1, RecordBytes({.RN = pn, .SST = 9, .RST = 9}, SubrecordBytes(33, srd)), pn));

    const json data = PacketObject(RunKorvaneBinary({"-j", "-x", "-c"}, hex))["frame"]["records"][0]
                                  ["subrecords"][0]["data"];
    ASSERT_EQ(data["PN"], pn);
    if (pn == 1) signature = data["ODH"]["WOS"].get<unsigned>();
    const std::string od = data["OD"].get<std::string>();
    EXPECT_EQ(data["od_length"], od.size() / 2);
    for (size_t at = 0; at + 1 < od.size(); at += 2) {
      rebuilt.push_back(static_cast<uint8_t>(std::stoi(od.substr(at, 2), nullptr, 16)));
    }
    const std::string text = RunKorvaneBinary({"-x", "-c"}, hex).output;
    EXPECT_NE(text.find(StringPrintf("- %zu bytes: ", pieces[pn - 1].size()) +
                        HexText(pieces[pn - 1].data(), 16) + "...\n"),
              std::string::npos);
  }
  EXPECT_EQ(rebuilt, object);
  ASSERT_TRUE(signature.has_value());
  EXPECT_EQ(*signature, Crc16(rebuilt.data(), static_cast<uint16_t>(rebuilt.size())));
}

TEST(StandardEndToEnd, SourceServiceOutsideTheStandardIsChecked) {
  const std::string hex = Hex(PacketBytes(
      1, Concat({RecordBytes({.RN = 1, .SST = 3, .RST = kAuth}, SubrecordBytes(9, {0})),
                 RecordBytes({.RN = 2, .SST = 70, .RST = kAuth}, SubrecordBytes(9, {0})),
                 RecordBytes({.RN = 3, .SST = kAuth, .RST = kAuth}, SubrecordBytes(9, {0}))})));
  const std::string layer = ServiceLayer(RunKorvaneBinary({"-x", "-c"}, hex));
  EXPECT_NE(layer.find("    Record Result       - 0 (OK)\n"
                       "    Check               - SST 3 is not a service of the standard (a reserved "
                       "number)\n"),
            std::string::npos)
      << layer;
  EXPECT_NE(layer.find("    Check               - SST 70 is not a service of the standard (a "
                       "user-defined number)\n"),
            std::string::npos);
  EXPECT_EQ(layer.find("Check", layer.find("Record 3:")), std::string::npos);
  EXPECT_EQ(ServiceLayer(RunKorvaneBinary({"-v", "-c"}, hex)).find("Check"), std::string::npos);

  const RunResult run = RunKorvaneBinary({"-j", "-x", "-c"}, hex);
  EXPECT_EQ(SchemaFindings(run.output), "");
  const json records = PacketObject(run)["frame"]["records"];
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0]["checks"].size(), 1u);
  EXPECT_EQ(records[2]["checks"], json::array());
  EXPECT_FALSE(PacketObject(RunKorvaneBinary({"-j", "-c"}, hex))["frame"]["records"][0].contains("checks"));
}

// ---------------------------------------------------------------------------
// -v without -x: the original classes' report of the same packets.

TEST(StandardEndToEnd, VerboseWithoutTheOptionIsUnchanged) {
  const std::string head =
      "\nEGTS Service Layer:\n-------------------\n  Parsing result      - 0 (OK)\n\n  Record 1:\n";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {kTeledata,
       head + "    Record Length       - 68\n    Record Number       - 4526\n"
              "    Record Flags        - 10010001b (0x91)\n    Object ID           - 295855\n"
              "    Source Service      - 2 (EGTS_TELEDATA_SERVICE)\n"
              "    Recipient Service   - 2 (EGTS_TELEDATA_SERVICE)\n"
              "    Record Result       - 0 (OK)\n    Subrecord 1:\n"
              "      Type              - 16 (unspecified)\n      Length            - 24\n"
              "      Result            - 150 (ERROR: Unknown service)\n"},
      {kTermIdentity,
       head + "    Record Length       - 45\n    Record Number       - 383\n"
              "    Record Flags        - 10000001b (0x81)\n    Object ID           - 1133\n"
              "    Source Service      - 1 (EGTS_AUTH_SERVICE)\n"
              "    Recipient Service   - 1 (EGTS_AUTH_SERVICE)\n"
              "    Record Result       - 0 (OK)\n    Subrecord 1:\n"
              "      Type              - 1 (unspecified)\n      Length            - 22\n"
              "      Result            - 165 (ERROR: Unknown service subrecord type)\n"},
      {kDispatcher,
       head + "    Record Length       - 28\n    Record Number       - 2\n"
              "    Record Flags        - 00000000b (0x00)\n"
              "    Source Service      - 1 (EGTS_AUTH_SERVICE)\n"
              "    Recipient Service   - 1 (EGTS_AUTH_SERVICE)\n"
              "    Record Result       - 0 (OK)\n    Subrecord 1:\n"
              "      Type              - 5 (EGTS_SR_DISP_IDENTITY)\n      Length            - 25\n"
              "      Result            - 0 (OK)\n"},
  };
  for (const auto& [hex, expected] : cases) {
    EXPECT_EQ(ServiceLayer(RunKorvaneBinary({"-v", "-c"}, hex)), expected);
  }
}

}  // namespace
