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

// Reads one subrecord from `available` bytes (to the end of the record
// data) into `entry`. Returns the result, which is also stored in the entry.
uint8_t CreateSubrecord(const uint8_t* bytes, uint16_t available, const Record& record,
                        Subrecord_Entry& entry);

// Copies result, SRT and SRL and gives the destination a clone of the
// source's object, chosen by SRT. SRT 5 and types without a class copy
// without object.
void CopySubrecordEntry(Subrecord_Entry& destination, const Subrecord_Entry& source);

// "EGTS_SR_..." name of a subrecord type with a class; "unspecified" for
// other types.
const char* SubrecordTypeName(uint16_t srt);

}  // namespace EGTS
