#include "service/auth/subrecord_term_identity.h"

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kFixedLength = 5;
constexpr std::size_t kImeiLength = 15;
constexpr std::size_t kImsiLength = 16;
constexpr std::size_t kLngcLength = 3;
constexpr std::size_t kMsisdnLength = 15;
constexpr uint32_t kNidReserved = 0xF00000;

std::size_t NeededLength(const Subrecord_TERM_IDENTITY& s) {
  return kFixedLength + (s.HDIDE() ? 2 : 0) + (s.IMEIE() ? kImeiLength : 0) +
         (s.IMSIE() ? kImsiLength : 0) + (s.LNGCE() ? kLngcLength : 0) + (s.NIDE() ? 3 : 0) +
         (s.BSE() ? 2 : 0) + (s.MNE() ? kMsisdnLength : 0);
}

}  // namespace

uint8_t Subrecord_TERM_IDENTITY::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kFixedLength)) {
    checks.push_back(TooShortCheck(srl, kFixedLength));
    return EGTS_PC_INVDATALEN;
  }
  TID = in.U32();
  FLG = in.U8();
  const std::size_t need = NeededLength(*this);
  if (srl < need) {
    checks.push_back(TooShortCheck(srl, need));
    return EGTS_PC_INVDATALEN;
  }
  if (HDIDE()) HDID = in.U16();
  if (IMEIE()) {
    IMEI = in.Raw(kImeiLength);
    CheckDigits("IMEI", IMEI, checks);
  }
  if (IMSIE()) {
    IMSI = in.Raw(kImsiLength);
    CheckDigits("IMSI", IMSI, checks);
  }
  if (LNGCE()) LNGC = in.Raw(kLngcLength);
  if (NIDE()) {
    NID = in.U24();
    CheckReservedBits(NID, kNidReserved, "NID", checks);
  }
  if (BSE()) BS = in.U16();
  if (MNE()) {
    MSISDN = in.Raw(kMsisdnLength);
    CheckDigits("MSISDN", MSISDN, checks);
  }
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_TERM_IDENTITY::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("TID", TID).Label("Terminal ID").Shown(
      TID == 0 ? "0 (terminal not configured)" : std::to_string(TID)));
  fields.push_back(BitsField("FLG", "Flags", FLG, 8));
  static const char* const kFlags[] = {"HDIDE", "IMEIE", "IMSIE", "LNGCE",
                                       "SSRA",  "NIDE",  "BSE",   "MNE"};
  for (unsigned bit = 8; bit-- > 0;) fields.push_back(FlagField(kFlags[bit], FLG, bit));
  if (HDIDE()) fields.push_back(Field::Unsigned("HDID", HDID).Label("Home Dispatcher ID"));
  if (IMEIE()) fields.push_back(Field::Text("IMEI", TextUpToNul(IMEI)).Label("IMEI"));
  if (IMSIE()) fields.push_back(Field::Text("IMSI", TextUpToNul(IMSI)).Label("IMSI"));
  if (LNGCE()) fields.push_back(Field::Text("LNGC", TextUpToNul(LNGC)).Label("Language Code"));
  if (NIDE()) {
    fields.push_back(Field::Unsigned("NID", NID).Label("Network ID").Shown(
        StringPrintf("0x%.6X (MCC %u, MNC %u)", NID, MCC(), MNC())));
    fields.push_back(Field::Unsigned("MCC", MCC()));
    fields.push_back(Field::Unsigned("MNC", MNC()));
  }
  if (BSE()) fields.push_back(Field::Unsigned("BS", BS).Label("Buffer Size"));
  if (MNE()) fields.push_back(Field::Text("MSISDN", TextUpToNul(MSISDN)).Label("MSISDN"));
}

void Subrecord_TERM_IDENTITY::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

std::unique_ptr<Subrecord_Class> Subrecord_TERM_IDENTITY::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
