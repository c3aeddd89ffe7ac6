#include "service/record.h"

#include <utility>

#include "service/subrecord_table.h"
#include "service/subrecord_factory.h"
#include "util/text.h"
#include "util/byte_order.h"

namespace EGTS {

Subrecord_Entry::Subrecord_Entry(const Subrecord_Entry& other) { CopySubrecordEntry(*this, other); }

Subrecord_Entry& Subrecord_Entry::operator=(const Subrecord_Entry& other) {
  if (this != &other) CopySubrecordEntry(*this, other);
  return *this;
}

uint16_t RecordHeaderLength(uint8_t RFL) {
  uint16_t length = 7;
  if (RFL & RFL_OBFE) length += 4;
  if (RFL & RFL_EVFE) length += 4;
  if (RFL & RFL_TMFE) length += 4;
  return length;
}

RecordHeaderView HeaderAsStored(const Record& record) {
  RecordHeaderView view{record.RL, record.RN, record.RFL, {}, {}, {}, record.SST, record.RST};
  if (record.RFL & RFL_OBFE) view.OID = record.OID;
  if (record.RFL & RFL_EVFE) view.EVID = record.EVID;
  if (record.RFL & RFL_TMFE) view.TM = record.TM;
  return view;
}

RecordHeaderView HeaderAsReceived(const Record& record) {
  if (record.cutHeader.empty()) return HeaderAsStored(record);
  const std::vector<uint8_t>& bytes = record.cutHeader;
  const std::size_t size = bytes.size();
  RecordHeaderView view;
  if (size >= 2) view.RL = ReadU16(&bytes[0]);
  if (size >= 4) view.RN = ReadU16(&bytes[2]);
  if (size < 5) return view;
  view.RFL = bytes[4];
  std::size_t at = 5;
  // The optional fields in their order; the first one cut short ends the view.
  for (const auto& [flag, field] : {std::pair{RFL_OBFE, &view.OID}, std::pair{RFL_EVFE, &view.EVID},
                                    std::pair{RFL_TMFE, &view.TM}}) {
    if ((bytes[4] & flag) == 0) continue;
    if (size < at + 4) return view;
    *field = ReadU32(&bytes[at]);
    at += 4;
  }
  if (size > at) view.SST = bytes[at];
  if (size > at + 1) view.RST = bytes[at + 1];
  return view;
}

std::vector<std::string> RecordChecks(const Record& record) {
  constexpr uint8_t kFirstUserService = 64;
  std::vector<std::string> checks;
  const std::optional<uint8_t> sst = HeaderAsReceived(record).SST;
  if (sst && !StandardServiceKnown(*sst)) {
    checks.push_back(StringPrintf("SST %u is not a service of the standard (%s)", unsigned{*sst},
                                  *sst < kFirstUserService ? "a reserved number"
                                                           : "a user-defined number"));
  }
  return checks;
}

uint16_t RecordDataLength(Record& record) {
  uint16_t sum = 0;
  for (const Subrecord_Entry& entry : record.subrecords) {
    sum = static_cast<uint16_t>(sum + kSubrecordHeaderLength);
    if (entry.object) sum = static_cast<uint16_t>(sum + entry.object->EncodedLength());
  }
  record.RL = sum;
  return sum;
}

void AppendSubrecord(Record& record, uint16_t srt, std::unique_ptr<Subrecord_Class> object) {
  Subrecord_Entry entry;
  entry.SRT = srt;
  entry.SRL = object->EncodedLength();
  entry.object = std::move(object);
  record.subrecords.push_back(std::move(entry));
  RecordDataLength(record);
}

}  // namespace EGTS
