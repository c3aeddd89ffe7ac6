#include "service/wrapped/subrecord_wrapped_data.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

namespace {

constexpr size_t kMaxPhoneChars = 24;

}  // namespace

uint8_t Subrecord_WRAPPED_DATA::Encode(bytestream& out) {
  out.AppendByte(Flags);
  // The text and its zero byte.
  out.WriteBlock(reinterpret_cast<const uint8_t*>(PhoneNumber.c_str()),
                 static_cast<uint16_t>(PhoneNumber.size() + 1));
  if (data && data->position != 0) AppendStreamBytes(out, *data);
  return EGTS_PC_OK;
}

uint8_t Subrecord_WRAPPED_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl < 2) return EGTS_PC_INVDATALEN;
  Flags = srd[0];

  // The phone number ends at the first zero byte within SRD.
  const void* zero = std::memchr(srd + 1, 0, srl - 1u);
  if (zero == nullptr) return EGTS_PC_INVDATALEN;
  const size_t n = static_cast<size_t>(static_cast<const uint8_t*>(zero) - (srd + 1));
  if (n > kMaxPhoneChars) return EGTS_PC_INVDATALEN;
  PhoneNumber.assign(reinterpret_cast<const char*>(srd + 1), n);

  try {
    data = std::make_shared<bytestream>();
  } catch (const std::bad_alloc&) {
    data.reset();
    return EGTS_PC_INVDATALEN;
  }
  data->WriteBlock(srd + n + 2, static_cast<uint16_t>(srl - n - 2));
  return EGTS_PC_OK;
}

void Subrecord_WRAPPED_DATA::Report(std::string* target) const {
  const unsigned dataLength = data ? data->position : 0;
  EmitReportPiece(target,
                  StringPrintf("       Flags                  - %u\n"
                               "       Phone Number           - '%s'\n"
                               "       Data Length            - %u\n",
                               unsigned{Flags}, PhoneNumber.c_str(), dataLength),
                  true);
}

void Subrecord_WRAPPED_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("FLAGS", Flags));
  fields.push_back(Field::Text(
      "PHONE_NUMBER",
      Cp1251ToUtf8(reinterpret_cast<const uint8_t*>(PhoneNumber.data()), PhoneNumber.size())));
  const size_t size = data ? std::min<size_t>(data->position, data->bytes.size()) : 0;
  fields.push_back(Field::Bytes("DATA", data ? data->bytes.data() : nullptr, size));
}

uint16_t Subrecord_WRAPPED_DATA::EncodedLength() const {
  size_t length = PhoneNumber.size() + 2;
  if (data) length += data->position;
  return static_cast<uint16_t>(length);
}

}  // namespace EGTS
