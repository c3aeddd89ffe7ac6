#include "service/auth/subrecord_auth_info.h"

#include "service/srd_cursor.h"
#include "transport/result_codes.h"

namespace EGTS {

namespace {

constexpr std::size_t kMaxNameLength = 32;

}  // namespace

uint8_t Subrecord_AUTH_INFO::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  SrdCursor in(srd, srl);
  UNM = in.Terminated("UNM", kMaxNameLength, checks);
  UPSW = in.Terminated("UPSW", kMaxNameLength, checks);
  ssPresent = in.Remaining() > 0;
  if (ssPresent) SS = in.Terminated("SS", 0, checks);
  CheckNothingLeft(in.Remaining(), checks);
  return EGTS_PC_OK;
}

void Subrecord_AUTH_INFO::Describe(FieldList& fields) const {
  fields.push_back(Field::Text("UNM", TextUpToNul(UNM)).Label("User Name"));
  fields.push_back(Field::Text("UPSW", TextUpToNul(UPSW)).Label("User Password"));
  if (ssPresent) fields.push_back(Field::Text("SS", TextUpToNul(SS)).Label("Server Sequence"));
}

void Subrecord_AUTH_INFO::Report(std::string* target) const { ReportDescribed(*this, target); }

std::unique_ptr<Subrecord_Class> Subrecord_AUTH_INFO::Clone() const { return CloneOf(*this); }

}  // namespace EGTS
