#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "service/field_list.h"
#include "service/subrecord_table.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"
#include "util/text.h"

using namespace EGTS;
using testing_support::Bytes;
using testing_support::Concat;
using testing_support::PutU16;
using testing_support::PutU32;

namespace {

// The public AUTH packets of the standard's sheet.
const char kTermIdentityAndModule[] =
    "0100000b0038002f0101a32d007f01816d04000001010116006d04000052383631373135303333393833393833ff00"
    "02110005000000000000000000010023544e230045cb";
const char kDispatcherIdentity[] =
    "0100020b002300020001871c00020000010105190000ab0800006247396e615734366347467a63336476636d513d"
    "aadf";
const char kAuthInfo[] =
    "0100010b003300010001ea280000000c449811110101072500383030004546323834453741453335314436444639"
    "324345333233443734414432454233009261";

constexpr uint8_t kAuth = 1;
constexpr uint8_t kFirmware = 9;
const std::string kAbsent = "<absent>";

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

uint16_t At16(const Bytes& b, std::size_t i) { return static_cast<uint16_t>(b[i] | (b[i + 1] << 8)); }

// The SRD of the n-th subrecord of a packet, found by walking the transport
// header (HL, FDL), the record headers (RL, RFL and its optional fields) and
// the subrecord headers; empty when the packet has fewer subrecords.
Bytes CutSrd(const char* packetHex, unsigned n) {
  const Bytes p = FromHex(packetHex);
  std::size_t at = p[3];
  const std::size_t end = at + At16(p, 5);
  while (at + 7 <= end) {
    const uint16_t rl = At16(p, at);
    const uint8_t rfl = p[at + 4];
    std::size_t sub = at + 5 + ((rfl & 1) ? 4 : 0) + ((rfl & 2) ? 4 : 0) + ((rfl & 4) ? 4 : 0) + 2;
    const std::size_t rdEnd = sub + rl;
    while (sub + 3 <= rdEnd && rdEnd <= end) {
      const uint16_t srl = At16(p, sub + 1);
      if (n-- == 0) return Bytes(p.begin() + sub + 3, p.begin() + sub + 3 + srl);
      sub += 3 + srl;
    }
    at = rdEnd;
  }
  return {};
}

Bytes Str(const std::string& text) { return Bytes(text.begin(), text.end()); }
Bytes Zstr(const std::string& text) { return Concat({Str(text), {0}}); }
Bytes U16(uint16_t v) {
  Bytes b;
  PutU16(b, v);
  return b;
}
Bytes U32(uint32_t v) {
  Bytes b;
  PutU32(b, v);
  return b;
}

// Every field of a description as "name" -> value text; members of objects
// as "OBJECT.name".
void Flatten(const FieldList& fields, const std::string& prefix,
             std::map<std::string, std::string>& out) {
  for (const Field& f : fields) {
    const std::string key = prefix + f.name;
    switch (f.kind) {
      case Field::Kind::kUnsigned: out[key] = std::to_string(f.unsignedValue); break;
      case Field::Kind::kSigned: out[key] = std::to_string(f.signedValue); break;
      case Field::Kind::kText: out[key] = f.textValue; break;
      case Field::Kind::kBytes:
        out[key] = HexText(reinterpret_cast<const uint8_t*>(f.textValue.data()), f.textValue.size());
        break;
      case Field::Kind::kObject: Flatten(f.members, key + ".", out); break;
      default: out[key] = "?"; break;
    }
  }
}

std::map<std::string, std::string> Flat(const Subrecord_Class& s) {
  FieldList fields;
  s.Describe(fields);
  std::map<std::string, std::string> out;
  Flatten(fields, "", out);
  return out;
}

// Decode refuses a null pointer (134); an empty SRD still has an address.
uint8_t DecodeBytes(Subrecord_Class& s, const Bytes& srd) {
  static const uint8_t kNoByte = 0;
  return s.Decode(srd.empty() ? &kNoByte : srd.data(), static_cast<uint16_t>(srd.size()));
}

std::unique_ptr<Subrecord_Class> Make(uint8_t rst, uint8_t srt, std::size_t srl) {
  const SubrecordRow* row = FindStandardSubrecord(rst, srt, static_cast<uint16_t>(srl));
  if (row == nullptr) return nullptr;
  return row->standard.make();
}

struct Case {
  const char* what;
  uint8_t rst;
  uint8_t srt;
  Bytes srd;
  uint8_t result;
  std::vector<std::pair<std::string, std::string>> fields;  // kAbsent: not described
  std::vector<std::string> checks;
};

Bytes TermIdentityAll() {
  return Concat({U32(0x01020304), {0xFF}, U16(0x0102), Str("356938035643809"),
                 Str("2500112345678901"), Str("rus"), {0x01, 0xE8, 0x03}, U16(1024),
                 Str("000079001234567")});
}

// Object header: OA, CMI, VER, WOS, FN and its 0 byte.
Bytes Odh(uint8_t oa, uint16_t wos, const std::string& fn) {
  return Concat({{oa, 7}, U16(0x0103), U16(wos), Zstr(fn)});
}

// CRC-16/CCITT-FALSE of "123456789" is its published check value.
const Bytes kObject = Str("123456789");
constexpr uint16_t kObjectCrc = 0x29B1;

std::vector<Case> Cases() {
  const std::string a33(33, 'A');
  return {
      // The public packets.
      {"public TERM_IDENTITY", kAuth, 1, CutSrd(kTermIdentityAndModule, 0), 0,
       {{"TID", "1133"}, {"FLG", "82"}, {"MNE", "0"}, {"BSE", "1"}, {"NIDE", "0"},
        {"SSRA", "1"}, {"LNGCE", "0"}, {"IMSIE", "0"}, {"IMEIE", "1"}, {"HDIDE", "0"},
        {"HDID", kAbsent}, {"IMEI", "861715033983983"}, {"IMSI", kAbsent}, {"LNGC", kAbsent},
        {"NID", kAbsent}, {"BS", "255"}, {"MSISDN", kAbsent}},
       {}},
      {"public MODULE_DATA", kAuth, 2, CutSrd(kTermIdentityAndModule, 1), 0,
       {{"MT", "5"}, {"MT_name", kAbsent}, {"VID", "0"}, {"FWV", "0"}, {"FWV_text", "0.0"},
        {"SWV", "0"}, {"MD", "0"}, {"ST", "1"}, {"ST_name", "on"}, {"SRN", ""},
        {"DSCR", "#TN#"}},
       {}},
      {"public DISPATCHER_IDENTITY", kAuth, 5, CutSrd(kDispatcherIdentity, 0), 0,
       {{"DT", "0"}, {"DID", "2219"}, {"DSCR", "bG9naW46cGFzc3dvcmQ="}},
       {}},
      {"public AUTH_INFO", kAuth, 7, CutSrd(kAuthInfo, 0), 0,
       {{"UNM", "800"}, {"UPSW", "EF284E7AE351D6DF92CE323D74AD2EB3"}, {"SS", kAbsent}},
       {}},
      // Every optional field set.
      {"TERM_IDENTITY all fields", kAuth, 1, TermIdentityAll(), 0,
       {{"TID", "16909060"}, {"FLG", "255"}, {"MNE", "1"}, {"SSRA", "1"}, {"HDID", "258"},
        {"IMEI", "356938035643809"}, {"IMSI", "2500112345678901"}, {"LNGC", "rus"},
        {"NID", "256001"}, {"MCC", "250"}, {"MNC", "1"}, {"BS", "1024"},
        {"MSISDN", "000079001234567"}},
       {}},
      {"MODULE_DATA all fields", kAuth, 2,
       Concat({{1}, U32(0x12345678), U16(0x0222), U16(0x0105), {3, 0x80}, Zstr("SN-7"),
               {0xCC, 0xEE, 0xE4, 0}}),
       0,
       {{"MT", "1"}, {"MT_name", "main"}, {"VID", "305419896"}, {"FWV", "546"},
        {"FWV_text", "2.34"}, {"SWV", "261"}, {"SWV_text", "1.5"}, {"MD", "3"},
        {"ST", "128"}, {"ST_name", "fault"}, {"SRN", "SN-7"}, {"DSCR", "\xD0\x9C\xD0\xBE\xD0\xB4"}},
       {}},
      {"VEHICLE_DATA", kAuth, 3, Concat({Str("XTA21099012345678"), U32(4), U32(3)}), 0,
       {{"VIN", "XTA21099012345678"}, {"VHT", "4"}, {"VHT_name", "N1"}, {"VPST", "3"},
        {"VPST_name", "petrol, diesel"}},
       {}},
      {"AUTH_PARAMS all fields", kAuth, 6,
       Concat({{0x7D}, U16(3), {0xAA, 0xBB, 0xCC}, U16(0x20), U16(0x400), Zstr("ab"),
               Zstr("65537")}),
       0,
       {{"FLG", "125"}, {"EXE", "1"}, {"SSE", "1"}, {"MSE", "1"}, {"ISLE", "1"}, {"PKE", "1"},
        {"ENA", "1"}, {"PKL", "3"}, {"PBK", "AABBCC"}, {"ISL", "32"}, {"MSZ", "1024"},
        {"SS", "ab"}, {"EXP", "65537"}},
       {}},
      {"AUTH_PARAMS only FLG", kAuth, 6, {0}, 0, {{"FLG", "0"}, {"PKL", kAbsent}, {"SS", kAbsent}}, {}},
      {"AUTH_INFO with SS", kAuth, 7, Concat({Zstr("user"), Zstr("pw"), Zstr("seq")}), 0,
       {{"UNM", "user"}, {"UPSW", "pw"}, {"SS", "seq"}},
       {}},
      {"SERVICE_INFO", kAuth, 8, {2, 0x80, 0x82}, 0,
       {{"ST", "2"}, {"ST_name", "EGTS_TELEDATA_SERVICE"}, {"SST", "128"},
        {"SST_name", "out of service"}, {"SRVP", "130"}, {"SRVA", "1"}, {"SRVRP", "2"}},
       {}},
      {"SERVICE_FULL_DATA", kFirmware, 34, Concat({Odh(0x05, kObjectCrc, "cfg.bin"), kObject}), 0,
       {{"ODH.OA", "5"}, {"ODH.OT", "1"}, {"ODH.OT_name", "configuration"}, {"ODH.MT", "1"},
        {"ODH.MT_name", "terminal"}, {"ODH.CMI", "7"}, {"ODH.VER", "259"},
        {"ODH.VER_text", "1.3"}, {"ODH.WOS", "10673"}, {"ODH.od_crc16", "10673"},
        {"ODH.FN", "cfg.bin"}, {"od_length", "9"}, {"OD", "313233343536373839"}},
       {}},
      {"SERVICE_PART_DATA whole object", kFirmware, 33,
       Concat({U16(0x10), U16(1), U16(1), Odh(0x00, kObjectCrc, "fw"), kObject}), 0,
       {{"ID", "16"}, {"PN", "1"}, {"EPQ", "1"}, {"ODH.OT_name", "firmware"},
        {"ODH.MT_name", "peripheral"}, {"ODH.od_crc16", "10673"}, {"ODH.FN", "fw"},
        {"od_length", "9"}},
       {}},
      {"SERVICE_PART_DATA first of two: WOS not checked", kFirmware, 33,
       Concat({U16(0x10), U16(1), U16(2), Odh(0x00, 0x1234, "fw"), kObject}), 0,
       {{"ODH.WOS", "4660"}, {"ODH.od_crc16", kAbsent}},
       {}},
      {"SERVICE_PART_DATA middle part", kFirmware, 33,
       Concat({U16(0x10), U16(2), U16(3), Str("0123456789ABCDEFGHIJ")}), 0,
       {{"PN", "2"}, {"EPQ", "3"}, {"ODH.OA", kAbsent}, {"od_length", "20"},
        {"OD", "303132333435363738394142434445464748494A"}},
       {}},
      // One case per check.
      {"TERM_IDENTITY too short", kAuth, 1, {1, 2, 3, 4}, 139, {},
       {"SRL 4 is shorter than the 5 bytes its fields need"}},
      {"TERM_IDENTITY shorter than its flags", kAuth, 1, Concat({U32(1), {0x02}, Str("86171")}),
       139, {}, {"SRL 10 is shorter than the 20 bytes its fields need"}},
      {"TERM_IDENTITY trailing bytes", kAuth, 1, Concat({U32(1), {0, 0, 0}}), 0, {},
       {"2 bytes after the last field"}},
      {"IMEI padded with NUL", kAuth, 1, Concat({U32(1), {0x02}, Str("86171503398"), Bytes(4, 0)}),
       0, {{"IMEI", "86171503398"}}, {"IMEI padded with NUL bytes"}},
      {"IMSI not digits", kAuth, 1, Concat({U32(1), {0x04}, Str("25001123456789X0")}), 0, {},
       {"IMSI holds bytes that are not digits"}},
      {"MSISDN padded with NUL", kAuth, 1, Concat({U32(1), {0x80}, Str("7900123456"), Bytes(5, 0)}),
       0, {}, {"MSISDN padded with NUL bytes"}},
      {"NID reserved bits", kAuth, 1, Concat({U32(1), {0x20}, {0x01, 0xE8, 0x33}}), 0,
       {{"MCC", "250"}, {"MNC", "1"}}, {"reserved bits 20, 21 of NID are set"}},
      {"MODULE_DATA too short", kAuth, 2, Bytes(10, 0), 139, {},
       {"SRL 10 is shorter than the 11 bytes its fields need"}},
      {"MODULE_DATA ST 5", kAuth, 2, Concat({Bytes(10, 0), {5, 0, 0}}), 0, {{"ST_name", kAbsent}},
       {"ST 5 is not a known module state"}},
      {"MODULE_DATA SRN without NUL", kAuth, 2, Concat({Bytes(11, 0), Str("SN")}), 0,
       {{"SRN", "SN"}, {"DSCR", ""}},
       {"SRN has no terminating NUL", "DSCR has no terminating NUL"}},
      {"MODULE_DATA SRN too long", kAuth, 2, Concat({Bytes(11, 0), Zstr(a33), {0}}), 0, {},
       {"SRN is 33 bytes long, more than 32"}},
      {"MODULE_DATA trailing byte", kAuth, 2, Concat({Bytes(11, 0), {0, 0, 0x55}}), 0, {},
       {"1 byte after the last field"}},
      {"VEHICLE_DATA too short", kAuth, 3, Bytes(24, '1'), 139, {},
       {"SRL 24 is shorter than the 25 bytes its fields need"}},
      {"VEHICLE_DATA unknown class, reserved bits", kAuth, 3,
       Concat({Bytes(17, '1'), U32(20 | 0x100), U32(0x40)}), 0, {{"VHT_name", kAbsent}},
       {"vehicle class 20 of VHT is not known", "reserved bit 8 of VHT is set",
        "reserved bit 6 of VPST is set"}},
      {"DISPATCHER_IDENTITY too short", kAuth, 5, {0, 1, 2, 3}, 139, {},
       {"SRL 4 is shorter than the 5 bytes its fields need"}},
      {"DISPATCHER_IDENTITY long DSCR", kAuth, 5, Concat({Bytes(5, 0), Bytes(256, 'd')}), 0, {},
       {"DSCR is 256 bytes long, more than 255"}},
      {"AUTH_PARAMS empty", kAuth, 6, {}, 139, {},
       {"SRL 0 is shorter than the 1 byte its fields need"}},
      {"AUTH_PARAMS reserved bit", kAuth, 6, {0x80}, 0, {}, {"reserved bit 7 of FLG is set"}},
      {"AUTH_PARAMS key cut short", kAuth, 6, Concat({{0x04}, U16(10), {1, 2, 3}}), 139, {},
       {"SRL 6 is shorter than the 13 bytes its fields need"}},
      {"AUTH_PARAMS flagged SS missing", kAuth, 6, {0x20}, 139, {},
       {"SRL 1 is shorter than the 2 bytes its fields need"}},
      {"AUTH_PARAMS flagged EXP missing", kAuth, 6, Concat({{0x60}, Zstr("ab")}), 139, {},
       {"SRL 4 is shorter than the 5 bytes its fields need"}},
      {"AUTH_PARAMS SS without NUL", kAuth, 6, Concat({{0x20}, Str("abc")}), 0, {{"SS", "abc"}},
       {"SS has no terminating NUL"}},
      {"AUTH_INFO without NULs", kAuth, 7, Str("800"), 0, {{"UNM", "800"}, {"UPSW", ""}},
       {"UNM has no terminating NUL", "UPSW has no terminating NUL"}},
      {"AUTH_INFO password too long", kAuth, 7, Concat({Zstr("u"), Zstr(a33)}), 0, {},
       {"UPSW is 33 bytes long, more than 32"}},
      {"AUTH_INFO bytes after SS", kAuth, 7, Concat({Zstr("u"), Zstr("p"), Zstr("s"), {7, 7}}), 0,
       {{"SS", "s"}}, {"2 bytes after the last field"}},
      {"SERVICE_INFO unknown state", kAuth, 8, {1, 5, 0}, 0, {{"SST_name", kAbsent}},
       {"SST 5 is not a known service state"}},
      {"SERVICE_INFO reserved bit", kAuth, 8, {1, 0, 0x04}, 0, {}, {"reserved bit 2 of SRVP is set"}},
      {"SERVICE_INFO too short", kAuth, 8, {1, 0}, 139, {},
       {"SRL 2 is shorter than the 3 bytes its fields need"}},
      {"SERVICE_INFO trailing byte", kAuth, 8, {1, 0, 0, 9}, 0, {}, {"1 byte after the last field"}},
      {"SERVICE_PART_DATA too short", kFirmware, 33, {1, 0, 1, 0, 1}, 139, {},
       {"SRL 5 is shorter than the 6 bytes its fields need"}},
      {"SERVICE_PART_DATA part 1 without its header", kFirmware, 33,
       Concat({U16(1), U16(1), U16(1), Bytes(6, 0)}), 139, {},
       {"SRL 12 is shorter than the 13 bytes its fields need"}},
      {"SERVICE_PART_DATA PN 0", kFirmware, 33, Concat({U16(1), U16(0), U16(3), {9}}), 0, {},
       {"PN 0 is outside 1..EPQ (3)"}},
      {"SERVICE_PART_DATA PN above EPQ", kFirmware, 33, Concat({U16(1), U16(4), U16(3), {9}}), 0,
       {}, {"PN 4 is outside 1..EPQ (3)"}},
      {"SERVICE_PART_DATA EPQ 0", kFirmware, 33, Concat({U16(1), U16(2), U16(0), {9}}), 0, {},
       {"EPQ 0 is not a number of parts"}},
      // Without its header a part is never the whole object, whatever EPQ says.
      {"SERVICE_PART_DATA PN 2 of 1", kFirmware, 33, Concat({U16(1), U16(2), U16(1), {9}}), 0,
       {{"ODH", kAbsent}, {"od_crc16", kAbsent}, {"OD", "09"}}, {"PN 2 is outside 1..EPQ (1)"}},
      {"SERVICE_PART_DATA whole object, wrong WOS", kFirmware, 33,
       Concat({U16(1), U16(1), U16(1), Odh(0, 0x1234, "fw"), kObject}), 0, {},
       {"WOS 0x1234 is not the check sum 0x29B1 of the object data"}},
      {"SERVICE_FULL_DATA too short", kFirmware, 34, Bytes(6, 0), 139, {},
       {"SRL 6 is shorter than the 7 bytes its fields need"}},
      {"SERVICE_FULL_DATA wrong WOS", kFirmware, 34, Concat({Odh(0, 0xABCD, "f"), kObject}), 0,
       {{"ODH.od_crc16", "10673"}}, {"WOS 0xABCD is not the check sum 0x29B1 of the object data"}},
      {"SERVICE_FULL_DATA reserved OA bit", kFirmware, 34,
       Concat({Odh(0x10, kObjectCrc, "f"), kObject}), 0, {}, {"reserved bit 4 of OA is set"}},
      {"SERVICE_FULL_DATA unknown OT", kFirmware, 34, Concat({Odh(0x08, kObjectCrc, "f"), kObject}),
       0, {{"ODH.OT_name", kAbsent}}, {"OT 2 is not a known object type"}},
      {"SERVICE_FULL_DATA unknown MT", kFirmware, 34, Concat({Odh(0x03, kObjectCrc, "f"), kObject}),
       0, {{"ODH.MT_name", kAbsent}}, {"MT 3 is not a known module type"}},
      // An empty object's CRC is the initial value 0xFFFF.
      {"SERVICE_FULL_DATA FN without D", kFirmware, 34,
       Concat({{0, 7}, U16(0x0103), U16(0xFFFF), Str("abc")}), 0,
       {{"ODH.FN", "abc"}, {"od_length", "0"}}, {"FN has no terminating NUL"}},
      // FN's check comes before OA's, the object's CRC last.
      {"SERVICE_FULL_DATA FN too long", kFirmware, 34,
       Concat({Odh(0x10, 0xABCD, std::string(65, 'f')), kObject}), 0, {},
       {"FN is 65 bytes long, more than 64", "reserved bit 4 of OA is set",
        "WOS 0xABCD is not the check sum 0x29B1 of the object data"}},
  };
}

TEST(AuthFirmwareSubrecords, DecodeValuesAndChecks) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.what);
    ASSERT_LT(c.srd.size(), 65536u);
    std::unique_ptr<Subrecord_Class> s = Make(c.rst, c.srt, c.srd.size());
    ASSERT_NE(s, nullptr) << "no table row";
    EXPECT_EQ(DecodeBytes(*s, c.srd), c.result);
    EXPECT_EQ(s->checks, c.checks);
    if (c.result != 0) continue;
    const auto flat = Flat(*s);
    for (const auto& [name, value] : c.fields) {
      const auto found = flat.find(name);
      EXPECT_EQ(found == flat.end() ? kAbsent : found->second, value) << name;
    }
    // A clone keeps every decoded value and every check.
    std::unique_ptr<Subrecord_Class> copy = s->Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Flat(*copy), flat);
    EXPECT_EQ(copy->checks, s->checks);
  }
}

TEST(AuthFirmwareSubrecords, EveryCutOfAValidSubrecordDecodesOrIsRefused) {
  for (const Case& c : Cases()) {
    if (c.result != 0) continue;
    for (std::size_t length = 0; length < c.srd.size(); ++length) {
      SCOPED_TRACE(std::string(c.what) + " cut to " + std::to_string(length));
      // An exact-size copy, so that a read past srl is a read past the buffer.
      const Bytes cut(c.srd.begin(), c.srd.begin() + static_cast<std::ptrdiff_t>(length));
      std::unique_ptr<Subrecord_Class> s = Make(c.rst, c.srt, length);
      ASSERT_NE(s, nullptr);
      const uint8_t result = DecodeBytes(*s, cut);
      EXPECT_TRUE(result == 0 || result == EGTS_PC_INVDATALEN) << int{result};
      if (result != 0) {
        EXPECT_FALSE(s->checks.empty()) << "a refusal gives its reason";
      }
      FieldList fields;
      s->Describe(fields);
    }
  }
}

TEST(AuthFirmwareSubrecords, TermIdentityReportOfThePublicPacket) {
  const Bytes srd = CutSrd(kTermIdentityAndModule, 0);
  std::unique_ptr<Subrecord_Class> s = Make(kAuth, 1, srd.size());
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->Decode(srd.data(), static_cast<uint16_t>(srd.size())), 0);
  std::string text;
  s->Report(&text);
  EXPECT_EQ(text,
            "       Terminal ID            - 1133\n"
            "       Flags                  - 01010010b\n"
            "           MNE                - 0\n"
            "           BSE                - 1\n"
            "           NIDE               - 0\n"
            "           SSRA               - 1\n"
            "           LNGCE              - 0\n"
            "           IMSIE              - 0\n"
            "           IMEIE              - 1\n"
            "           HDIDE              - 0\n"
            "       IMEI                   - '861715033983983'\n"
            "       Buffer Size            - 255\n");
}

TEST(AuthFirmwareSubrecords, TableRowsNameTheirSubrecords) {
  const struct {
    uint8_t rst;
    uint8_t srt;
    const char* name;
  } kRows[] = {{1, 1, "EGTS_SR_TERM_IDENTITY"},       {1, 2, "EGTS_SR_MODULE_DATA"},
               {1, 3, "EGTS_SR_VEHICLE_DATA"},        {1, 5, "EGTS_SR_DISPATCHER_IDENTITY"},
               {1, 6, "EGTS_SR_AUTH_PARAMS"},         {1, 7, "EGTS_SR_AUTH_INFO"},
               {1, 8, "EGTS_SR_SERVICE_INFO"},        {9, 33, "EGTS_SR_SERVICE_PART_DATA"},
               {9, 34, "EGTS_SR_SERVICE_FULL_DATA"}};
  for (const auto& row : kRows) {
    const SubrecordRow* found = FindStandardSubrecord(row.rst, row.srt, 5);
    ASSERT_NE(found, nullptr) << row.name;
    EXPECT_STREQ(found->name, row.name);
  }
  EXPECT_EQ(FindStandardSubrecord(kFirmware, 1, 5), nullptr) << "SRT 1 belongs to AUTH only";
}

}  // namespace
