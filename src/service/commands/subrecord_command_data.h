#pragma once
// EGTS_SR_COMMAND_DATA (SRT 51, EGTS_COMMANDS_SERVICE): a command for a
// terminal, a confirmation of one, or a message. Little-endian SRD:
//
//   0     1    CT (bits 7-4), CCT (bits 3-0)
//   1     4    CID
//   5     4    SID
//   9     1    flags: bit 0 CHSFE, bit 1 ACFE, other bits kept as they are
//   10    1    CHS            (only with CHSFE)
//   next  1    ACL            (only with ACFE)
//   next  ACL  AC             (only with ACFE)
//   next  rest CD, possibly empty
//
// CD, command form (CT neither 1 nor 3):  ADR u16, SZ/ACT byte, CCD u16, DT
// CD, confirmation form (CT 1 or 3):      ADR u16, CCD u16, DT

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "service/declared_subrecord.h"

namespace EGTS {

enum CommandType : uint8_t {
  EGTS_CT_UNKNOWN = 0,
  EGTS_CT_COMCONF = 1,
  EGTS_CT_MSGCONF = 2,
  EGTS_CT_MSGFROM = 3,
  EGTS_CT_MSGTO = 4,
  EGTS_CT_COM = 5,
  EGTS_CT_DELCOM = 6,
  EGTS_CT_SUBREQ = 7,
  EGTS_CT_DELIV = 8,
};

enum ConfirmationType : uint8_t {
  EGTS_CC_OK = 0,
  EGTS_CC_ERROR = 1,
  EGTS_CC_ILL = 2,
  EGTS_CC_DEL = 3,
  EGTS_CC_NFOUND = 4,
  EGTS_CC_NCONF = 5,
  EGTS_CC_INPROG = 6,
};

enum CommandCode : uint16_t {
  EGTS_RAW_DATA = 0x0000,
  EGTS_TEST_MODE = 0x0001,
  EGTS_SELFTEST_RESULT = 0x0002,
  EGTS_TEST_MODE_START_TEST = 0x0003,
  EGTS_TEST_GET_ERRORS = 0x0004,
  EGTS_TEST_CLEAR_ERRORS = 0x0005,
  EGTS_CONFIG_RESET = 0x0006,
  EGTS_SET_AUTH_CODE = 0x0007,
  EGTS_RESTART = 0x0008,
  EGTS_ECALL_REQ = 0x0112,
  EGTS_MSD_REQ = 0x0113,
  EGTS_RADIO_MUTE_DELAY = 0x0201,
  EGTS_RADIO_UNMUTE_DELAY = 0x0202,
  EGTS_SIM_PIN = 0x0205,
  EGTS_ECALL_BLACK_LIST = 0x0206,
  EGTS_SELFTEST_INTERVAL = 0x0208,
  EGTS_ECALL_TEST_NUMBER = 0x020D,
  EGTS_ECALL_ON = 0x0210,
  EGTS_ECALL_SIGNAL_INTERNAL = 0x0211,
  EGTS_ECALL_SMS_FALLBACK_NUMBER = 0x0223,
  EGTS_USE_GPRS_WHITE_LIST = 0x0230,
  EGTS_GPRS_WHITE_LIST = 0x0231,
  EGTS_UNIT_ID = 0x0404,
};

// Flag bits of the flags byte.
constexpr uint8_t kCommandFlagCHSFE = 0x01;
constexpr uint8_t kCommandFlagACFE = 0x02;

// Name of a command type (EGTS_CT_...), "unspecified" when unknown.
const char* CommandTypeName(uint8_t ct);
// Name of a confirmation type (EGTS_CC_...), "unspecified" when unknown.
const char* ConfirmationTypeName(uint8_t cct);
// Name of a command code (CCD), "unspecified" when unknown.
const char* CommandCodeName(uint16_t ccd);

class Subrecord_COMMAND_DATA : public DeclaredWith<13> {
 public:
  // The places of the declaration. kTypes is the byte CT and CCT share,
  // kFlagsLine the report's line of the whole flags byte.
  enum Place : std::size_t {
    kTypes = 0,
    kCT = 1,
    kCCT = 2,
    kCID = 3,
    kSID = 4,
    kFlags = 5,
    kCHSFE = 6,
    kACFE = 7,
    kCHS = 8,
    kACL = 9,
    kAC = 10,
    kCD = 11,
    kFlagsLine = 12
  };

  // Every number 0, no CHS, ACL or AC, and CD empty.
  Subrecord_COMMAND_DATA();
  // Copies every field together with DEV_ID and RCP_NUM of the base.
  Subrecord_COMMAND_DATA(const Subrecord_COMMAND_DATA&) = default;
  Subrecord_COMMAND_DATA& operator=(const Subrecord_COMMAND_DATA&) = delete;
  ~Subrecord_COMMAND_DATA() override = default;

  // 134 for a null srd; 139 when the SRD is shorter than the fixed part or
  // than the CHS, ACL or AC its flags announce (the object is then left as
  // it was).
  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  // Resets out and writes the SRD.
  uint8_t Encode(bytestream& out) override;
  // The declared fields, then those of CD's fixed part when CD holds it.
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;

  uint8_t CT() const { return static_cast<uint8_t>(Value(kCT)); }
  uint8_t CCT() const { return static_cast<uint8_t>(Value(kCCT)); }
  uint32_t CID() const { return Value(kCID); }
  uint32_t SID() const { return Value(kSID); }
  uint8_t Flags() const { return static_cast<uint8_t>(Value(kFlags)); }
  uint8_t CHS() const { return static_cast<uint8_t>(Value(kCHS)); }
  uint8_t ACL() const { return static_cast<uint8_t>(Value(kACL)); }
  // The bytes held, for as long as the object is not changed.
  std::span<const uint8_t> AC() const { return Bytes(kAC); }
  std::span<const uint8_t> CD() const { return Bytes(kCD); }

  void SetCT(uint8_t ct) { Set(kCT, ct); }
  void SetCCT(uint8_t cct) { Set(kCCT, cct); }
  void SetCID(uint32_t cid) { Set(kCID, cid); }
  void SetSID(uint32_t sid) { Set(kSID, sid); }
  // All eight bits as they are; CHSFE brings CHS (0 until set), ACFE ACL
  // and AC (none until set).
  void SetFlags(uint8_t flags);
  // Sets CHSFE as well.
  void SetCHS(uint8_t chs);
  // ACL is the number of bytes (at most 255 are kept); sets ACFE as well.
  void SetAuthCode(std::vector<uint8_t> ac);
  void SetCD(const std::vector<uint8_t>& cd);

  bool HasCharset() const { return (Flags() & kCommandFlagCHSFE) != 0; }
  bool HasAuthCode() const { return (Flags() & kCommandFlagACFE) != 0; }
};

}  // namespace EGTS
