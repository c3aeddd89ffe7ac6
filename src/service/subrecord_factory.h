#pragma once
// The subrecord factory: chooses the class for a record's service (RST) and
// a subrecord type (SRT), creates the object and fills it from SRD.
//
// Services and the subrecord types they accept (SRT 0 RECORD_RESPONSE and
// SRT 9 AUTH_RESULT_CODE are accepted under every service):
//   1 EGTS_AUTH_SERVICE      4 SRV_IDENTITY, 5 DISP_IDENTITY
//   4 EGTS_COMMANDS_SERVICE  51 COMMAND_DATA
//   10 EGTS_ECALL_SERVICE    20 ACCEL_DATA, 40 ECALL_RAW_MSD_DATA,
//                            50 ECALL_MSD_DATA, 62 TRACK_DATA
//   16 EGTS_LOGGER_SERVICE   56 LOGGER_DATA
//   17 EGTS_NIP_SERVICE, 18 EGTS_SMS_SERVICE   57 WRAPPED_DATA

#include <cstdint>

#include "service/record.h"

namespace EGTS {

// Which classes the factory knows: the original eleven, or with -x also
// every further subrecord of the standard (standard_subrecords.h).
enum class SubrecordSet : uint8_t { kOriginal, kStandard };

// Reads one subrecord from `available` bytes (to the end of the record
// data) into `entry`. Returns the result, which is also stored in the entry.
// With kStandard, an entry without object keeps its bytes (as many as the
// record holds) and the decoder's findings.
uint8_t CreateSubrecord(const uint8_t* bytes, uint16_t available, const Record& record,
                        Subrecord_Entry& entry, SubrecordSet set = SubrecordSet::kOriginal);

// The name of a subrecord of a record with service rst: with kStandard the
// standard's name for the type and length where it has one, else as
// SubrecordTypeName.
const char* SubrecordName(uint8_t rst, uint16_t srt, uint16_t srl, SubrecordSet set);

// The same where the SRL is unknown (a header cut short): "unspecified"
// where only the length would choose the name (SRT 20 of TELEDATA).
const char* SubrecordNameWithoutLength(uint8_t rst, uint16_t srt, SubrecordSet set);

// Copies result, SRT and SRL and gives the destination a clone of the
// source's object, chosen by SRT. SRT 5 and types without a class copy
// without object.
void CopySubrecordEntry(Subrecord_Entry& destination, const Subrecord_Entry& source);

// "EGTS_SR_..." name of a subrecord type with a class; "unspecified" for
// other types.
const char* SubrecordTypeName(uint16_t srt);

}  // namespace EGTS
