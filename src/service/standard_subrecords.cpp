#include "service/standard_subrecords.h"

#include <new>

#include "service/subrecord_auth_info.h"
#include "service/subrecord_auth_params.h"
#include "service/subrecord_dispatcher_identity.h"
#include "service/subrecord_module_data.h"
#include "service/subrecord_service_full_data.h"
#include "service/subrecord_service_info.h"
#include "service/subrecord_service_part_data.h"
#include "service/subrecord_term_identity.h"
#include "service/subrecord_types.h"
#include "service/subrecord_vehicle_data.h"

namespace EGTS {

namespace {

template <typename T>
std::unique_ptr<Subrecord_Class> Make() {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T);
}

bool Matches(SrlRule rule, uint16_t srl) {
  switch (rule) {
    case SrlRule::kAny: return true;
    case SrlRule::kExactly5: return srl == 5;
    case SrlRule::kNot5: return srl != 5;
  }
  return false;
}

constexpr StandardSubrecord kStandardSubrecords[] = {
    // AUTH service rows go here.
    {EGTS_AUTH_SERVICE, 1, SrlRule::kAny, "EGTS_SR_TERM_IDENTITY", &Make<Subrecord_TERM_IDENTITY>},
    {EGTS_AUTH_SERVICE, 2, SrlRule::kAny, "EGTS_SR_MODULE_DATA", &Make<Subrecord_MODULE_DATA>},
    {EGTS_AUTH_SERVICE, 3, SrlRule::kAny, "EGTS_SR_VEHICLE_DATA", &Make<Subrecord_VEHICLE_DATA>},
    {EGTS_AUTH_SERVICE, 5, SrlRule::kAny, "EGTS_SR_DISPATCHER_IDENTITY",
     &Make<Subrecord_DISPATCHER_IDENTITY>},
    {EGTS_AUTH_SERVICE, 6, SrlRule::kAny, "EGTS_SR_AUTH_PARAMS", &Make<Subrecord_AUTH_PARAMS>},
    {EGTS_AUTH_SERVICE, 7, SrlRule::kAny, "EGTS_SR_AUTH_INFO", &Make<Subrecord_AUTH_INFO>},
    {EGTS_AUTH_SERVICE, 8, SrlRule::kAny, "EGTS_SR_SERVICE_INFO", &Make<Subrecord_SERVICE_INFO>},
    // TELEDATA service rows go here.
    // FIRMWARE service rows go here.
    {EGTS_FIRMWARE_SERVICE, 33, SrlRule::kAny, "EGTS_SR_SERVICE_PART_DATA",
     &Make<Subrecord_SERVICE_PART_DATA>},
    {EGTS_FIRMWARE_SERVICE, 34, SrlRule::kAny, "EGTS_SR_SERVICE_FULL_DATA",
     &Make<Subrecord_SERVICE_FULL_DATA>},
    {0, 0, SrlRule::kAny, nullptr, nullptr},  // end of the table
};

}  // namespace

const StandardSubrecord* FindStandardSubrecord(uint8_t rst, uint16_t srt, uint16_t srl) {
  for (const StandardSubrecord& row : kStandardSubrecords) {
    if (row.make != nullptr && row.rst == rst && row.srt == srt && Matches(row.rule, srl)) {
      return &row;
    }
  }
  return nullptr;
}

bool StandardServiceKnown(uint8_t rst) {
  switch (rst) {
    case EGTS_AUTH_SERVICE:
    case EGTS_TELEDATA_SERVICE:
    case EGTS_COMMANDS_SERVICE:
    case EGTS_FIRMWARE_SERVICE:
    case EGTS_ECALL_SERVICE:
    case EGTS_LOGGER_SERVICE:
    case EGTS_NIP_SERVICE:
    case EGTS_SMS_SERVICE:
      return true;
    default:
      return false;
  }
}

}  // namespace EGTS
