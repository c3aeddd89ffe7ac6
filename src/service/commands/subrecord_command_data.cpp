#include "service/commands/subrecord_command_data.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <optional>
#include <span>

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

using Shown = DeclaredField::Shown;
using TextEnd = DeclaredField::TextEnd;
using Place = Subrecord_COMMAND_DATA::Place;

constexpr std::size_t kFixedLength = 10;  // CT/CCT, CID, SID, flags

// A code's name; null for a code without one.
const char* NameOrNull(const char* name) {
  return std::strcmp(name, "unspecified") == 0 ? nullptr : name;
}
const char* CommandTypeOf(uint32_t ct) {
  return ct <= 0xFF ? NameOrNull(CommandTypeName(static_cast<uint8_t>(ct))) : nullptr;
}
const char* ConfirmationTypeOf(uint32_t cct) {
  return cct <= 0xFF ? NameOrNull(ConfirmationTypeName(static_cast<uint8_t>(cct))) : nullptr;
}
const char* CommandCodeOf(uint32_t ccd) {
  return ccd <= 0xFFFF ? NameOrNull(CommandCodeName(static_cast<uint16_t>(ccd))) : nullptr;
}

// Four bits shown where they stand in their byte: `before` blanks for the
// bits above them.
std::string NibbleShown(uint32_t value, std::size_t before) {
  return std::string(before, ' ') + BitString(value & 0x0F, 4) + "b";
}

std::string CommandTypeShown(const DeclaredSubrecord&, uint32_t ct) {
  return NibbleShown(ct, 0) + " (" + CommandTypeName(static_cast<uint8_t>(ct)) + ")";
}
std::string ConfirmationTypeShown(const DeclaredSubrecord&, uint32_t cct) {
  return NibbleShown(cct, 4) + " (" + ConfirmationTypeName(static_cast<uint8_t>(cct)) + ")";
}
std::string ActShown(const DeclaredSubrecord&, uint32_t act) { return NibbleShown(act, 4); }
std::string CommandCodeShown(const DeclaredSubrecord&, uint32_t ccd) {
  return StringPrintf("0x%.4X (%s)", ccd, CommandCodeName(static_cast<uint16_t>(ccd)));
}

uint32_t FlagsOf(const DeclaredSubrecord& subrecord) { return subrecord.Value(Place::kFlags); }
double FlagsValue(const DeclaredSubrecord& subrecord) { return FlagsOf(subrecord); }
std::string FlagsShown(const DeclaredSubrecord& subrecord, uint32_t) {
  return StringPrintf("%sb (0x%.2X)", BitString(FlagsOf(subrecord), 8).c_str(), FlagsOf(subrecord));
}
// A flag's bit where it stands under the flags' bits.
template <unsigned kBit>
std::string FlagShown(const DeclaredSubrecord& subrecord, uint32_t) {
  return std::string(7 - kBit, ' ') + static_cast<char>('0' + ((FlagsOf(subrecord) >> kBit) & 1u));
}

constexpr DeclaredField kFields[] = {
    {.name = "CT_CCT", .shown = Shown::kHidden},
    {.name = "CT",
     .label = "Command Type",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 4,
     .bits = 4,
     .nameOf = &CommandTypeOf,
     .nullName = true,
     .shownText = &CommandTypeShown},
    {.name = "CCT",
     .label = "Confirmation Type",
     .width = 0,
     .shown = Shown::kNamed,
     .bit = 0,
     .bits = 4,
     .nameOf = &ConfirmationTypeOf,
     .nullName = true,
     .shownText = &ConfirmationTypeShown},
    {.name = "CID", .label = "Command Identifier", .width = 4},
    {.name = "SID", .label = "Source Identifier", .width = 4},
    {.name = "flags", .shown = Shown::kHidden},
    {.name = "CHSFE",
     .label = "  CHSFE",
     .width = 0,
     .shown = Shown::kFlag,
     .bit = 0,
     .shownText = &FlagShown<0>},
    {.name = "ACFE",
     .label = "  ACFE",
     .width = 0,
     .shown = Shown::kFlag,
     .bit = 1,
     .shownText = &FlagShown<1>},
    {.name = "CHS", .label = "Charset", .presentIn = Place::kFlags, .presentBit = 0},
    {.name = "ACL", .label = "Auth Code Length", .presentIn = Place::kFlags, .presentBit = 1},
    {.name = "AC",
     .label = "AuthCode",
     .shown = Shown::kBytes,
     .end = TextEnd::kLengthIn,
     .lengthIn = Place::kACL,
     .presentIn = Place::kFlags,
     .presentBit = 1},
    {.name = "CD", .label = "Command Data", .shown = Shown::kBytes, .end = TextEnd::kData},
    // The report's line of the whole flags byte.
    {.label = "Flags",
     .shown = Shown::kWorkedOut,
     .workOut = &FlagsValue,
     .shownText = &FlagsShown},
};

// The report shows the flags byte before its flags, ACFE first, and the
// authorization code before the charset.
constexpr uint8_t kReportOrder[] = {Place::kCT,        Place::kCCT,  Place::kCID,   Place::kSID,
                                    Place::kFlagsLine, Place::kACFE, Place::kCHSFE, Place::kACL,
                                    Place::kAC,        Place::kCHS,  Place::kCD,    Place::kTypes,
                                    Place::kFlags};

constexpr Declaration kDeclaration =
    Declare(kFields, LeftoverCheck::kNone, LengthCheck::kBeforeDependent, WireOrder::kLittleEndian,
            kReportOrder);
static_assert(kDeclaration.valid);
static_assert(std::size(kFields) == Subrecord_COMMAND_DATA::kFieldCount);

// CD of a command (ADR, SZ and ACT, CCD, DT) and of a confirmation (ADR,
// CCD, DT). Their lines stand one step in, under "Command Data".
constexpr DeclaredField kAddress = {.name = "ADR", .label = "    Address", .width = 2};
constexpr DeclaredField kCommandCode = {.name = "CCD",
                                        .label = "    Command Code",
                                        .width = 2,
                                        .shown = Shown::kNamed,
                                        .nameOf = &CommandCodeOf,
                                        .nullName = true,
                                        .shownText = &CommandCodeShown};
constexpr DeclaredField kData = {.name = "DT", .shown = Shown::kBytes, .end = TextEnd::kData};

constexpr DeclaredField kCommandForm[] = {
    kAddress,
    {.name = "SZ_ACT", .shown = Shown::kHidden},
    {.name = "SZ", .label = "    SZ", .width = 0, .shown = Shown::kBits, .bit = 4, .bits = 4},
    {.name = "ACT",
     .label = "    ACT",
     .width = 0,
     .shown = Shown::kBits,
     .bit = 0,
     .bits = 4,
     .shownText = &ActShown},
    kCommandCode,
    kData,
};
constexpr DeclaredField kConfirmationForm[] = {kAddress, kCommandCode, kData};

constexpr Declaration kCommandDeclaration = Declare(kCommandForm, LeftoverCheck::kNone);
constexpr Declaration kConfirmationDeclaration = Declare(kConfirmationForm, LeftoverCheck::kNone);
static_assert(kCommandDeclaration.valid && kConfirmationDeclaration.valid);

bool IsConfirmation(uint8_t ct) { return ct == EGTS_CT_COMCONF || ct == EGTS_CT_MSGFROM; }

// CD's fields in the form CT chooses, read when CD holds its fixed part.
class CommandDataFields final : public DeclaredWith<std::size(kCommandForm)> {
 public:
  CommandDataFields(uint8_t ct, std::span<const uint8_t> cd)
      : DeclaredWith(IsConfirmation(ct) ? kConfirmationDeclaration : kCommandDeclaration),
        codeAt_(IsConfirmation(ct) ? 1 : 4),
        held_(cd.size() >= (IsConfirmation(ct) ? 4u : 5u)) {
    if (held_) Decode(cd.data(), static_cast<uint16_t>(cd.size()));
  }

  bool Held() const { return held_; }
  using DeclaredSubrecord::DescribeDeclared;
  using DeclaredSubrecord::ReportText;

  // The self-test result: DT of EGTS_SELFTEST_RESULT up to its first zero
  // byte, as sent; none for another code or an empty DT.
  std::optional<std::string> SelftestResult() const {
    const std::span<const uint8_t> dt = Bytes(codeAt_ + 1);
    if (!held_ || Value(codeAt_) != EGTS_SELFTEST_RESULT || dt.empty()) return std::nullopt;
    return std::string(dt.begin(), std::find(dt.begin(), dt.end(), uint8_t{0}));
  }

 private:
  std::size_t codeAt_;
  bool held_;
};

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

Subrecord_COMMAND_DATA::Subrecord_COMMAND_DATA() : DeclaredWith(kDeclaration) {
  for (const Place place : {kTypes, kCT, kCCT, kCID, kSID, kFlags, kCHSFE, kACFE, kFlagsLine}) {
    Set(place, 0);
  }
  SetText(kCD, {});
}

uint8_t Subrecord_COMMAND_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < kFixedLength) return EGTS_PC_INVDATALEN;
  // What the flags announce must be there before anything is read.
  const uint8_t flags = srd[kFixedLength - 1];
  std::size_t needed = kFixedLength;
  if (flags & kCommandFlagCHSFE) ++needed;
  if (flags & kCommandFlagACFE) {
    if (needed >= srl) return EGTS_PC_INVDATALEN;
    needed += 1u + srd[needed];
  }
  if (needed > srl) return EGTS_PC_INVDATALEN;
  return DeclaredSubrecord::Decode(srd, srl);
}

uint8_t Subrecord_COMMAND_DATA::Encode(bytestream& out) {
  out.Reset();
  return DeclaredSubrecord::Encode(out);
}

void Subrecord_COMMAND_DATA::SetFlags(uint8_t flags) {
  Set(kFlags, flags);
  if (flags & kCommandFlagCHSFE) {
    Set(kCHS, CHS());
  } else {
    Clear(kCHS);
  }
  if (flags & kCommandFlagACFE) {
    const std::span<const uint8_t> ac = AC();
    Set(kACL, static_cast<uint32_t>(ac.size()));
    SetText(kAC, std::string(ac.begin(), ac.end()));
  } else {
    Clear(kACL);
    Clear(kAC);
  }
}

void Subrecord_COMMAND_DATA::SetCHS(uint8_t chs) {
  SetFlags(Flags() | kCommandFlagCHSFE);
  Set(kCHS, chs);
}

void Subrecord_COMMAND_DATA::SetAuthCode(std::vector<uint8_t> ac) {
  if (ac.size() > 0xFF) ac.resize(0xFF);
  SetFlags(Flags() | kCommandFlagACFE);
  Set(kACL, static_cast<uint32_t>(ac.size()));
  SetText(kAC, std::string(ac.begin(), ac.end()));
}

void Subrecord_COMMAND_DATA::SetCD(const std::vector<uint8_t>& cd) {
  SetText(kCD, std::string(cd.begin(), cd.end()));
}

void Subrecord_COMMAND_DATA::Describe(FieldList& fields) const {
  DescribeDeclared(fields);
  const CommandDataFields data(CT(), Bytes(kCD));
  if (!data.Held()) return;
  data.DescribeDeclared(fields);
  if (const std::optional<std::string> result = data.SelftestResult()) {
    fields.push_back(Field::Text(
        "selftest_result",
        Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(result->data()), result->size())));
  }
}

void Subrecord_COMMAND_DATA::Report(std::string* target) const {
  std::string text = ReportText();
  const CommandDataFields data(CT(), Bytes(kCD));
  if (data.Held()) {
    text += data.ReportText();
    if (const std::optional<std::string> result = data.SelftestResult()) {
      text += "           Result             - " + *result + "\n";
    }
  }
  EmitReportPiece(target, text, true);
}

}  // namespace EGTS
