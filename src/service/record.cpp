#include "service/record.h"

#include "service/subrecord_factory.h"

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
