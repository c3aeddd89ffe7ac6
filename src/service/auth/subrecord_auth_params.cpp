#include "service/auth/subrecord_auth_params.h"

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr uint8_t kReservedFlags = 0x80;

}  // namespace

uint8_t Subrecord_AUTH_PARAMS::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(1)) {
    checks.push_back(TooShortCheck(srl, 1));
    return EGTS_PC_INVDATALEN;
  }
  FLG = in.U8();
  CheckReservedBits(FLG, kReservedFlags, "FLG", checks);
  // The key length is inside the data, so the need is known in two steps.
  std::size_t need = 1 + (PKE() ? 2 : 0);
  if (PKE() && in.Has(2)) {
    PKL = in.U16();
    need += PKL;
  }
  need += (ISLE() ? 2 : 0) + (MSE() ? 2 : 0);
  // A flagged string is at least its terminating NUL; one with no byte at
  // all is missing, not merely unterminated.
  need += (SSE() ? 1 : 0) + (EXE() ? 1 : 0);
  if (srl < need) {
    checks.push_back(TooShortCheck(srl, need));
    return EGTS_PC_INVDATALEN;
  }
  if (PKE()) PBK = in.Raw(PKL);
  if (ISLE()) ISL = in.U16();
  if (MSE()) MSZ = in.U16();
  if (SSE()) SS = in.Terminated("SS", 0, checks);
  if (EXE()) {
    if (!in.Has(1)) {
      checks.push_back(TooShortCheck(srl, std::size_t{srl} + 1));
      return EGTS_PC_INVDATALEN;
    }
    EXP = in.Terminated("EXP", 0, checks);
  }
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_AUTH_PARAMS::Describe(FieldList& fields) const {
  fields.push_back(BitsField("FLG", "Flags", FLG, 8));
  static const char* const kFlags[] = {"PKE", "ISLE", "MSE", "SSE", "EXE"};
  for (unsigned bit = 7; bit-- > 2;) fields.push_back(FlagField(kFlags[bit - 2], FLG, bit));
  fields.push_back(Field::Unsigned("ENA", ENA()).Label("    ENA").Shown(BitString(ENA(), 2) + "b"));
  if (PKE()) {
    fields.push_back(Field::Unsigned("PKL", PKL).Label("Public Key Length"));
    fields.push_back(Field::Bytes("PBK", reinterpret_cast<const uint8_t*>(PBK.data()), PBK.size())
                         .Label("Public Key"));
  }
  if (ISLE()) fields.push_back(Field::Unsigned("ISL", ISL).Label("Identity String Length"));
  if (MSE()) fields.push_back(Field::Unsigned("MSZ", MSZ).Label("Modulus Size"));
  if (SSE()) fields.push_back(Field::Text("SS", TextUpToNul(SS)).Label("Server Sequence"));
  if (EXE()) fields.push_back(Field::Text("EXP", TextUpToNul(EXP)).Label("Exponent"));
}

void Subrecord_AUTH_PARAMS::Report(std::string* target) const { ReportDescribed(*this, target); }

std::unique_ptr<Subrecord_Class> Subrecord_AUTH_PARAMS::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
