#include "service/auth/subrecord_dispatcher_identity.h"

#include "service/srd_cursor.h"
#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr std::size_t kFixedLength = 5;
constexpr std::size_t kMaxDscrLength = 255;

}  // namespace

uint8_t Subrecord_DISPATCHER_IDENTITY::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  if (!in.Has(kFixedLength)) {
    checks.push_back(TooShortCheck(srl, kFixedLength));
    return EGTS_PC_INVDATALEN;
  }
  DT = in.U8();
  DID = in.U32();
  DSCR = in.Raw(in.Remaining());
  if (DSCR.size() > kMaxDscrLength) {
    checks.push_back(StringPrintf("DSCR is %zu bytes long, more than %zu", DSCR.size(),
                                  kMaxDscrLength));
  }
  return EGTS_PC_OK;
}

void Subrecord_DISPATCHER_IDENTITY::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("DT", DT).Label("Dispatcher Type"));
  fields.push_back(Field::Unsigned("DID", DID).Label("Dispatcher ID"));
  fields.push_back(
      Field::Text("DSCR", Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(DSCR.data()), DSCR.size()))
          .Label("Description"));
}

void Subrecord_DISPATCHER_IDENTITY::Report(std::string* target) const {
  ReportDescribed(*this, target);
}

std::unique_ptr<Subrecord_Class> Subrecord_DISPATCHER_IDENTITY::Clone() const {
  return CloneOf(*this);
}

}  // namespace EGTS
