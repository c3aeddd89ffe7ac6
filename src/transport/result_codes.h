#pragma once
// EGTS processing result codes (EGTS_PC_...). Every check of the transport
// and service layers returns one: 0 success, 1 in progress, 128 and above
// errors (bit 7 set).

#include <cstdint>

namespace EGTS {

enum ResultCode : uint8_t {
  EGTS_PC_OK = 0,
  EGTS_PC_IN_PROGRESS = 1,
  EGTS_PC_UNS_PROTOCOL = 128,
  EGTS_PC_DECRYPT_ERROR = 129,
  EGTS_PC_PROC_DENIED = 130,
  EGTS_PC_INC_HEADERFORM = 131,
  EGTS_PC_INC_DATAFORM = 132,
  EGTS_PC_UNS_TYPE = 133,
  EGTS_PC_NOTEN_PARAMS = 134,
  EGTS_PC_DBL_PROC = 135,
  EGTS_PC_PROC_SRC_DENIED = 136,
  EGTS_PC_HEADERCRC_ERROR = 137,
  EGTS_PC_DATACRC_ERROR = 138,
  EGTS_PC_INVDATALEN = 139,
  EGTS_PC_ROUTE_NFOUND = 140,
  EGTS_PC_ROUTE_CLOSED = 141,
  EGTS_PC_ROUTE_DENIED = 142,
  EGTS_PC_INVADDR = 143,
  EGTS_PC_TTLEXPIRED = 144,
  EGTS_PC_NO_ACK = 145,
  EGTS_PC_OBJ_NFOUND = 146,
  EGTS_PC_EVNT_NFOUND = 147,
  EGTS_PC_SRVC_NFOUND = 148,
  EGTS_PC_SRVC_DENIED = 149,
  EGTS_PC_SRVC_UNKN = 150,
  EGTS_PC_AUTH_DENIED = 151,
  EGTS_PC_ALREADY_EXISTS = 152,
  EGTS_PC_ID_NFOUND = 153,
  EGTS_PC_INC_DATETIME = 154,
  EGTS_PC_IO_ERROR = 155,
  EGTS_PC_NO_RES_AVAIL = 156,
  EGTS_PC_MODULE_FAULT = 157,
  EGTS_PC_MODULE_PWR_FLT = 158,
  EGTS_PC_MODULE_PROC_FLT = 159,
  EGTS_PC_MODULE_SW_FLT = 160,
  EGTS_PC_MODULE_FW_FLT = 161,
  EGTS_PC_MODULE_IO_FLT = 162,
  EGTS_PC_MODULE_MEM_FLT = 163,
  EGTS_PC_TEST_FAILED = 164,
  EGTS_PC_SR_UNKN = 165,  // unknown service subrecord type
};

inline bool IsError(unsigned code) { return (code & 0x80) != 0; }

}  // namespace EGTS

// The text of a result code; a wider value is reduced to its low 8 bits.
const char* ResultCodeText(unsigned code);
