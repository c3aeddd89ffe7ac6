#pragma once
// The subrecord factory: reads a subrecord's header, finds its row in the
// subrecord table (subrecord_table.h) by the record's service (RST), the
// type (SRT) and the length, creates the row's object and fills it from SRD.

#include <cstdint>

#include "service/record.h"
#include "service/subrecord_table.h"

namespace EGTS {

// Which classes the factory knows: the original eleven, or with -x also
// the standard classes of the table's rows.
enum class SubrecordSet : uint8_t { kOriginal, kStandard };

// Reads one subrecord from `available` bytes (to the end of the record
// data) into `entry`. Returns the result, which is also stored in the entry.
// With kStandard, an entry without object keeps its bytes (as many as the
// record holds) and the decoder's findings.
uint8_t CreateSubrecord(const uint8_t* bytes, uint16_t available, const Record& record,
                        Subrecord_Entry& entry, SubrecordSet set = SubrecordSet::kOriginal);

// The entry the original set makes of a subrecord that the standard's set
// made `standard` of, without decoding it again: where no class of the
// standard's set took it the two are the same entry (the object copied);
// where one did, the original set refuses it by its header or keeps its
// bytes. Only a type decoded by a class of each set (RAW_MSD_DATA) is
// decoded again, by the original class.
uint8_t CreateOriginalEntry(const uint8_t* bytes, uint16_t available, const Record& record,
                            const Subrecord_Entry& standard, Subrecord_Entry& entry);

// The name of a subrecord of a record with service rst: with kStandard the
// standard's name for the type and length where it has one, else as
// SubrecordTypeName.
const char* SubrecordName(uint8_t rst, uint16_t srt, uint16_t srl, SubrecordSet set);

// The same where the SRL is unknown (a header cut short): "unspecified"
// where only the length would choose the name (SRT 20 of TELEDATA).
const char* SubrecordNameWithoutLength(uint8_t rst, uint16_t srt, SubrecordSet set);

// Copies the entry, giving the destination a clone of the source's object
// (CloneSubrecord).
void CopySubrecordEntry(Subrecord_Entry& destination, const Subrecord_Entry& source);

}  // namespace EGTS
