#include "service/subrecord_factory.h"

#include <algorithm>
#include <memory>

#include "service/subrecord_table.h"
#include "transport/result_codes.h"
#include "util/byte_order.h"

namespace EGTS {

namespace {

// The checks that decide before an object is made; EGTS_PC_OK lets the
// factory go on.
uint8_t CheckHeader(const SubrecordRow* row, uint16_t srl, uint32_t following, uint8_t rst) {
  if (row != nullptr && following < row->minFollowing) return EGTS_PC_INVDATALEN;
  if (row == nullptr && ServiceHasOriginalSubrecords(rst)) return EGTS_PC_SR_UNKN;
  if (srl > following) return EGTS_PC_INVDATALEN;
  if (row == nullptr) return EGTS_PC_SRVC_UNKN;
  if (srl < row->minSrl) return EGTS_PC_INVDATALEN;
  return EGTS_PC_OK;
}

// Reads SRT and SRL into the entry. False when the decision is made by the
// header alone: `result` is then 24 (header cut short) or 0 (no data).
bool ReadSubrecordHeader(const uint8_t* bytes, uint16_t available, Subrecord_Entry& entry,
                         uint8_t& result) {
  if (bytes == nullptr || available < kSubrecordHeaderLength) {
    if (bytes != nullptr) entry.cutHeader.assign(bytes, bytes + available);
    result = EGTS_PC_INC_HEADERFORM;
    return false;
  }
  entry.SRT = bytes[0];
  entry.SRL = ReadU16(bytes + 1);
  if (entry.SRL == 0) {
    entry.object.reset();
    result = EGTS_PC_OK;
    return false;
  }
  return true;
}

// The decision of the original set, by the row accepted under the record's
// service (null: none).
uint8_t DecideOriginal(const SubrecordRow* row, const uint8_t* bytes, uint16_t available,
                       const Record& record, Subrecord_Entry& entry) {
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  const uint8_t checked = CheckHeader(row, entry.SRL, following, record.RST);
  if (checked != EGTS_PC_OK) return checked;
  if (row->original.make == nullptr) return EGTS_PC_OK;  // kept as bytes

  std::unique_ptr<Subrecord_Class> object = row->original.make();
  if (!object) return EGTS_PC_NO_RES_AVAIL;
  const uint8_t* srd = bytes + kSubrecordHeaderLength;
  const uint8_t filled =
      row->fill != nullptr ? row->fill(*object, srd, entry.SRL) : object->Decode(srd, entry.SRL);
  if (filled == EGTS_PC_OK) entry.object = std::move(object);
  return filled;
}

uint8_t Decide(const uint8_t* bytes, uint16_t available, const Record& record,
               Subrecord_Entry& entry) {
  uint8_t decided = EGTS_PC_OK;
  if (!ReadSubrecordHeader(bytes, available, entry, decided)) return decided;
  return DecideOriginal(FindOriginalSubrecord(record.RST, entry.SRT), bytes, available, record,
                        entry);
}

// The decision with the standard's classes: a row's standard class comes
// first; types accepted without -x are decided as without it; any other type
// is unknown to a service the standard knows (165), or its service is
// unknown (150).
uint8_t DecideStandard(const uint8_t* bytes, uint16_t available, const Record& record,
                       Subrecord_Entry& entry) {
  uint8_t decided = EGTS_PC_OK;
  if (!ReadSubrecordHeader(bytes, available, entry, decided)) return decided;
  const SubrecordRow* row = FindStandardSubrecord(record.RST, entry.SRT, entry.SRL);
  if (row == nullptr) {
    if (const SubrecordRow* original = FindOriginalSubrecord(record.RST, entry.SRT)) {
      return DecideOriginal(original, bytes, available, record, entry);
    }
    return StandardServiceKnown(record.RST) ? EGTS_PC_SR_UNKN : EGTS_PC_SRVC_UNKN;
  }
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  if (entry.SRL > following) return EGTS_PC_INVDATALEN;
  std::unique_ptr<Subrecord_Class> object = row->standard.make();
  if (!object) return EGTS_PC_NO_RES_AVAIL;
  const uint8_t decoded = object->Decode(bytes + kSubrecordHeaderLength, entry.SRL);
  if (decoded == EGTS_PC_OK) {
    entry.object = std::move(object);
  } else {
    entry.checks = std::move(object->checks);
  }
  return decoded;
}

// Where no object holds the content the reports show the bytes themselves.
void KeepBytes(const uint8_t* bytes, uint16_t available, Subrecord_Entry& entry) {
  if (entry.object || bytes == nullptr || available <= kSubrecordHeaderLength) return;
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  const uint32_t held = std::min<uint32_t>(entry.SRL, following);
  entry.SRD.assign(bytes + kSubrecordHeaderLength, bytes + kSubrecordHeaderLength + held);
}

}  // namespace

uint8_t CreateSubrecord(const uint8_t* bytes, uint16_t available, const Record& record,
                        Subrecord_Entry& entry, SubrecordSet set) {
  entry.result = set == SubrecordSet::kOriginal ? Decide(bytes, available, record, entry)
                                                : DecideStandard(bytes, available, record, entry);
  KeepBytes(bytes, available, entry);
  return entry.result;
}

uint8_t CreateOriginalEntry(const uint8_t* bytes, uint16_t available, const Record& record,
                            const Subrecord_Entry& standard, Subrecord_Entry& entry) {
  const bool fromHeader = bytes == nullptr || available < kSubrecordHeaderLength || standard.SRL == 0;
  const SubrecordRow* standardRow =
      fromHeader ? nullptr : FindStandardSubrecord(record.RST, standard.SRT, standard.SRL);
  const SubrecordRow* originalRow =
      fromHeader ? nullptr : FindOriginalSubrecord(record.RST, standard.SRT);
  if (fromHeader || (standardRow == nullptr && originalRow != nullptr)) {
    CopySubrecordEntry(entry, standard);
    return entry.result;
  }
  entry.SRT = standard.SRT;
  entry.SRL = standard.SRL;
  entry.result = DecideOriginal(originalRow, bytes, available, record, entry);
  KeepBytes(bytes, available, entry);
  return entry.result;
}

const char* SubrecordName(uint8_t rst, uint16_t srt, uint16_t srl, SubrecordSet set) {
  if (set == SubrecordSet::kStandard) {
    if (const SubrecordRow* row = FindStandardSubrecord(rst, srt, srl)) return row->name;
  }
  return SubrecordTypeName(srt);
}

const char* SubrecordNameWithoutLength(uint8_t rst, uint16_t srt, SubrecordSet set) {
  if (set == SubrecordSet::kStandard) {
    const SubrecordRow* five = FindStandardSubrecord(rst, srt, 5);
    const SubrecordRow* other = FindStandardSubrecord(rst, srt, 0);
    if (five != other) return five != nullptr && other != nullptr ? "unspecified" : SubrecordTypeName(srt);
    if (five != nullptr) return five->name;
  }
  return SubrecordTypeName(srt);
}

void CopySubrecordEntry(Subrecord_Entry& destination, const Subrecord_Entry& source) {
  destination.result = source.result;
  destination.SRT = source.SRT;
  destination.SRL = source.SRL;
  destination.object = source.object ? CloneSubrecord(source.SRT, *source.object) : nullptr;
  destination.SRD = source.SRD;
  destination.checks = source.checks;
  destination.cutHeader = source.cutHeader;
}

}  // namespace EGTS
