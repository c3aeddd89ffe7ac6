#include "service/service_names.h"

const char* ServiceTypeName(uint16_t serviceType) {
  switch (serviceType) {
    case 1: return "EGTS_AUTH_SERVICE";
    case 2: return "EGTS_TELEDATA_SERVICE";
    case 4: return "EGTS_COMMANDS_SERVICE";
    case 9: return "EGTS_FIRMWARE_SERVICE";
    case 10: return "EGTS_ECALL_SERVICE";
    case 16: return "EGTS_LOGGER_SERVICE";
    case 17: return "EGTS_NIP_SERVICE";
    case 18: return "EGTS_SMS_SERVICE";
    default: return "unspecified";
  }
}
