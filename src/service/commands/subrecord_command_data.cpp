#include "service/commands/subrecord_command_data.h"

#include <algorithm>
#include <iterator>

#include "util/byte_order.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

std::string HexText(const uint8_t* data, size_t n) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * n);
  for (size_t i = 0; i < n; ++i) {
    text.push_back(kDigits[data[i] >> 4]);
    text.push_back(kDigits[data[i] & 0x0F]);
  }
  return text;
}

// A code's name; null for a code without one.
Field NameField(std::string name, const char* text) {
  if (std::string(text) == "unspecified") return Field::Null(std::move(name));
  return Field::Text(std::move(name), text);
}

// The fields of the command data, in the form CT selects; none when CD is
// too short for its fixed part (the report shows no details then either).
void DescribeCommandData(uint8_t ct, const std::vector<uint8_t>& cd, FieldList& fields) {
  const bool confirmation = (ct == EGTS_CT_COMCONF || ct == EGTS_CT_MSGFROM);
  const size_t dataAt = confirmation ? 4 : 5;
  if (cd.empty() || cd.size() < dataAt) return;
  fields.push_back(Field::Unsigned("ADR", ReadU16(&cd[0])));
  if (!confirmation) {
    fields.push_back(Field::Unsigned("SZ", cd[2] >> 4));
    fields.push_back(Field::Unsigned("ACT", cd[2] & 0x0F));
  }
  const uint16_t ccd = ReadU16(&cd[dataAt - 2]);
  fields.push_back(Field::Unsigned("CCD", ccd));
  fields.push_back(NameField("CCD_name", CommandCodeName(ccd)));
  fields.push_back(Field::Bytes("DT", cd.data() + dataAt, cd.size() - dataAt));
  if (cd.size() > dataAt && ccd == EGTS_SELFTEST_RESULT) {
    const auto begin = cd.begin() + static_cast<std::ptrdiff_t>(dataAt);
    const auto end = std::find(begin, cd.end(), 0);
    fields.push_back(Field::Text(
        "selftest_result",
        Cp1251ToUtf8(cd.data() + dataAt, static_cast<size_t>(end - begin))));
  }
}

}  // namespace

const char* CommandTypeName(uint8_t ct) {
  static const char* const kNames[] = {
      "EGTS_CT_UNKNOWN", "EGTS_CT_COMCONF", "EGTS_CT_MSGCONF",
      "EGTS_CT_MSGFROM", "EGTS_CT_MSGTO",   "EGTS_CT_COM",
      "EGTS_CT_DELCOM",  "EGTS_CT_SUBREQ",  "EGTS_CT_DELIV"};
  return ct < std::size(kNames) ? kNames[ct] : "unspecified";
}

const char* ConfirmationTypeName(uint8_t cct) {
  static const char* const kNames[] = {
      "EGTS_CC_OK",     "EGTS_CC_ERROR", "EGTS_CC_ILL",   "EGTS_CC_DEL",
      "EGTS_CC_NFOUND", "EGTS_CC_NCONF", "EGTS_CC_INPROG"};
  return cct < std::size(kNames) ? kNames[cct] : "unspecified";
}

const char* CommandCodeName(uint16_t ccd) {
  switch (ccd) {
    case EGTS_RAW_DATA: return "EGTS_RAW_DATA";
    case EGTS_TEST_MODE: return "EGTS_TEST_MODE";
    case EGTS_SELFTEST_RESULT: return "EGTS_SELFTEST_RESULT";
    case EGTS_TEST_MODE_START_TEST: return "EGTS_TEST_MODE_START_TEST";
    case EGTS_TEST_GET_ERRORS: return "EGTS_TEST_GET_ERRORS";
    case EGTS_TEST_CLEAR_ERRORS: return "EGTS_TEST_CLEAR_ERRORS";
    case EGTS_CONFIG_RESET: return "EGTS_CONFIG_RESET";
    case EGTS_SET_AUTH_CODE: return "EGTS_SET_AUTH_CODE";
    case EGTS_RESTART: return "EGTS_RESTART";
    case EGTS_ECALL_REQ: return "EGTS_ECALL_REQ";
    case EGTS_MSD_REQ: return "EGTS_MSD_REQ";
    case EGTS_RADIO_MUTE_DELAY: return "EGTS_RADIO_MUTE_DELAY";
    case EGTS_RADIO_UNMUTE_DELAY: return "EGTS_RADIO_UNMUTE_DELAY";
    case EGTS_SIM_PIN: return "EGTS_SIM_PIN";
    case EGTS_ECALL_BLACK_LIST: return "EGTS_ECALL_BLACK_LIST";
    case EGTS_SELFTEST_INTERVAL: return "EGTS_SELFTEST_INTERVAL";
    case EGTS_ECALL_TEST_NUMBER: return "EGTS_ECALL_TEST_NUMBER";
    case EGTS_ECALL_ON: return "EGTS_ECALL_ON";
    case EGTS_ECALL_SIGNAL_INTERNAL: return "EGTS_ECALL_SIGNAL_INTERNAL";
    case EGTS_ECALL_SMS_FALLBACK_NUMBER: return "EGTS_ECALL_SMS_FALLBACK_NUMBER";
    case EGTS_USE_GPRS_WHITE_LIST: return "EGTS_USE_GPRS_WHITE_LIST";
    case EGTS_GPRS_WHITE_LIST: return "EGTS_GPRS_WHITE_LIST";
    case EGTS_UNIT_ID: return "EGTS_UNIT_ID";
  }
  return "unspecified";
}

size_t Subrecord_COMMAND_DATA::AuthCodeBytes() const {
  return std::min<size_t>(ACL, AC.size());
}

uint8_t Subrecord_COMMAND_DATA::FillFromSRD(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < 10) return EGTS_PC_INVDATALEN;

  // Work out the layout first so that nothing is changed, and no byte past
  // srl is read, when the flags announce more than the SRD holds.
  const uint8_t newFlags = srd[9];
  size_t p = 10;
  size_t chsAt = 0;
  if (newFlags & kCommandFlagCHSFE) {
    if (p >= srl) return EGTS_PC_INVDATALEN;
    chsAt = p++;
  }
  size_t aclAt = 0;
  if (newFlags & kCommandFlagACFE) {
    if (p >= srl) return EGTS_PC_INVDATALEN;
    aclAt = p;
    p += 1 + static_cast<size_t>(srd[aclAt]);
    if (p > srl) return EGTS_PC_INVDATALEN;
  }

  CT = static_cast<uint8_t>(srd[0] >> 4);
  CCT = static_cast<uint8_t>(srd[0] & 0x0F);
  CID = ReadU32(srd + 1);
  SID = ReadU32(srd + 5);
  flags = newFlags;
  if (newFlags & kCommandFlagCHSFE) CHS = srd[chsAt];
  if (newFlags & kCommandFlagACFE) {
    ACL = srd[aclAt];
    AC.assign(srd + aclAt + 1, srd + aclAt + 1 + ACL);
  }
  if (p < srl) {
    CD.assign(srd + p, srd + srl);
  } else {
    CD.clear();
  }
  return EGTS_PC_OK;
}

uint8_t Subrecord_COMMAND_DATA::Encode(bytestream& out) {
  out.Reset();
  out.AppendByte(static_cast<uint8_t>((CT << 4) | (CCT & 0x0F)));
  out.AppendU32(CID);
  out.AppendU32(SID);
  out.AppendByte(flags);
  if (HasCharset()) out.AppendByte(CHS);
  if (HasAuthCode()) {
    out.AppendByte(ACL);
    WriteBytes(out, AC.data(), AuthCodeBytes());
  }
  WriteBytes(out, CD.data(), CD.size());
  return EGTS_PC_OK;
}

uint16_t Subrecord_COMMAND_DATA::EncodedLength() const {
  size_t length = 10 + CD.size();
  if (HasCharset()) length += 1;
  if (HasAuthCode()) length += 1 + AuthCodeBytes();
  return static_cast<uint16_t>(length);
}

void Subrecord_COMMAND_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("CT", CT));
  fields.push_back(NameField("CT_name", CommandTypeName(CT)));
  fields.push_back(Field::Unsigned("CCT", CCT));
  fields.push_back(NameField("CCT_name", ConfirmationTypeName(CCT)));
  fields.push_back(Field::Unsigned("CID", CID));
  fields.push_back(Field::Unsigned("SID", SID));
  fields.push_back(Field::Unsigned("CHSFE", HasCharset() ? 1 : 0));
  fields.push_back(Field::Unsigned("ACFE", HasAuthCode() ? 1 : 0));
  if (HasCharset()) fields.push_back(Field::Unsigned("CHS", CHS));
  if (HasAuthCode()) {
    fields.push_back(Field::Unsigned("ACL", ACL));
    fields.push_back(Field::Bytes("AC", AC.data(), AuthCodeBytes()));
  }
  fields.push_back(Field::Bytes("CD", CD.data(), CD.size()));
  DescribeCommandData(CT, CD, fields);
}

void Subrecord_COMMAND_DATA::Report(std::string* target) const {
  std::string authText;
  if (HasAuthCode()) {
    authText = StringPrintf(
        "       Auth Code Length       - %u\n       AuthCode               - ", ACL);
    authText += HexText(AC.data(), AuthCodeBytes());
    authText += "\n";
  }
  std::string charsetText;
  if (HasCharset()) {
    charsetText = StringPrintf("       Charset                - %u\n", CHS);
  }
  const std::string cdText = HexText(CD.data(), CD.size());

  const std::string mainText = StringPrintf(
      "       Command Type           - %sb (%s)\n"
      "       Confirmation Type      -     %sb (%s)\n"
      "       Command Identifier     - %u\n"
      "       Source Identifier      - %u\n"
      "       Flags                  - %sb (0x%.2X)\n"
      "         ACFE                 -       %u\n"
      "         CHSFE                -        %u\n"
      "%s%s       Command Data           - %s\n",
      BitString(CT & 0x0F, 4).c_str(), CommandTypeName(CT),
      BitString(CCT & 0x0F, 4).c_str(), ConfirmationTypeName(CCT), CID, SID,
      BitString(flags, 8).c_str(), flags, HasAuthCode() ? 1u : 0u,
      HasCharset() ? 1u : 0u, authText.c_str(), charsetText.c_str(),
      cdText.c_str());
  EmitReportPiece(target, mainText, true);

  if (CD.empty()) return;

  // Command data details: the confirmation form for CT 1 and 3, the command
  // form (with its SZ/ACT byte) otherwise.
  const bool confirmation = (CT == EGTS_CT_COMCONF || CT == EGTS_CT_MSGFROM);
  const size_t dataAt = confirmation ? 4 : 5;
  if (CD.size() < dataAt) return;

  std::string szActText;
  uint16_t ccd = 0;
  if (confirmation) {
    ccd = ReadU16(&CD[2]);
  } else {
    szActText = StringPrintf(
        "           SZ                 - %sb\n           ACT                -     %sb\n",
        BitString(CD[2] >> 4, 4).c_str(), BitString(CD[2] & 0x0F, 4).c_str());
    ccd = ReadU16(&CD[3]);
  }
  std::string details = StringPrintf(
      "           Address            - %u\n%s           Command Code       - 0x%.4X (%s)\n",
      ReadU16(&CD[0]), szActText.c_str(), ccd, CommandCodeName(ccd));
  if (CD.size() > dataAt && ccd == EGTS_SELFTEST_RESULT) {
    const auto begin = CD.begin() + static_cast<std::ptrdiff_t>(dataAt);
    const std::string result(begin, std::find(begin, CD.end(), 0));
    details += StringPrintf("           Result             - %s\n", result.c_str());
  }
  EmitReportPiece(target, details, false);
}

}  // namespace EGTS
