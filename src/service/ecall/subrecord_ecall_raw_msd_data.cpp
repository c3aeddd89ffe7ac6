#include "service/ecall/subrecord_ecall_raw_msd_data.h"

#include <algorithm>
#include <exception>
#include <new>

#include "transport/result_codes.h"
#include "util/text.h"

namespace EGTS {

uint8_t Subrecord_ECALL_RAW_MSD_DATA::Decode(const uint8_t* srd, uint16_t srl) {
  if (srd == nullptr) return EGTS_PC_NOTEN_PARAMS;
  if (srl == 0) return EGTS_PC_INVDATALEN;
  Format = srd[0];
  if (srl == 1) {
    data.reset();
    return EGTS_PC_OK;
  }
  try {
    auto stream = std::make_shared<bytestream>();
    stream->WriteBlock(srd + 1, static_cast<uint16_t>(srl - 1));
    data = std::move(stream);
  } catch (const std::bad_alloc&) {
    return EGTS_PC_NO_RES_AVAIL;
  }
  return EGTS_PC_OK;
}

uint8_t Subrecord_ECALL_RAW_MSD_DATA::Encode(bytestream& out) {
  out.AppendByte(Format);
  if (data) AppendStreamBytes(out, *data);
  return EGTS_PC_OK;
}

uint16_t Subrecord_ECALL_RAW_MSD_DATA::EncodedLength() const {
  return static_cast<uint16_t>(1 + DataSize());
}

void Subrecord_ECALL_RAW_MSD_DATA::Describe(FieldList& fields) const {
  fields.push_back(Field::Unsigned("FORMAT", Format));
  const size_t size = data ? std::min<size_t>(DataSize(), data->bytes.size()) : 0;
  fields.push_back(Field::Bytes("MSD", data ? data->bytes.data() : nullptr, size));
}

void Subrecord_ECALL_RAW_MSD_DATA::Report(std::string* target) const {
  static const char kDigits[] = "0123456789ABCDEF";
  const uint32_t size = DataSize();
  std::string text;
  try {
    text.reserve(2 * static_cast<size_t>(size) + 512);
  } catch (const std::exception&) {
    EmitReportPiece(target, "memory allocation error!", true);
    return;
  }
  text += StringPrintf("       Format                 - %u\n       Raw MSD data           - %u bytes [",
                       Format, size);
  const size_t shown = std::min({static_cast<size_t>(size), kReportedBytes,
                                 data ? data->bytes.size() : size_t{0}});
  for (size_t i = 0; i < shown; ++i) {
    const uint8_t b = data->bytes[i];
    text.push_back(kDigits[b >> 4]);
    text.push_back(kDigits[b & 0x0F]);
  }
  text += size > 512 ? "...]\n" : "]\n";
  EmitReportPiece(target, text, true);
}

}  // namespace EGTS
