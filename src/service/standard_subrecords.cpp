#include "service/standard_subrecords.h"

#include <new>

#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"
#include "service/teledata/subrecord_abs_an_sens_data.h"
#include "service/teledata/subrecord_abs_cntr_data.h"
#include "service/teledata/subrecord_abs_dig_sens_data.h"
#include "service/teledata/subrecord_abs_loopin_data.h"
#include "service/ecall/subrecord_accel_data.h"
#include "service/teledata/subrecord_ad_sensors_data.h"
#include "service/auth/subrecord_auth_info.h"
#include "service/auth/subrecord_auth_params.h"
#include "service/teledata/subrecord_counters_data.h"
#include "service/auth/subrecord_dispatcher_identity.h"
#include "service/teledata/subrecord_ext_pos_data.h"
#include "service/teledata/subrecord_liquid_level_sensor.h"
#include "service/teledata/subrecord_loopin_data.h"
#include "service/auth/subrecord_module_data.h"
#include "service/teledata/subrecord_passengers_counters.h"
#include "service/teledata/subrecord_pos_data.h"
#include "service/firmware/subrecord_service_full_data.h"
#include "service/auth/subrecord_service_info.h"
#include "service/firmware/subrecord_service_part_data.h"
#include "service/teledata/subrecord_state_data.h"
#include "service/auth/subrecord_term_identity.h"
#include "service/subrecord_types.h"
#include "service/auth/subrecord_vehicle_data.h"

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
    {EGTS_TELEDATA_SERVICE, 16, SrlRule::kAny, "EGTS_SR_POS_DATA", &Make<Subrecord_POS_DATA>},
    {EGTS_TELEDATA_SERVICE, 17, SrlRule::kAny, "EGTS_SR_EXT_POS_DATA",
     &Make<Subrecord_EXT_POS_DATA>},
    {EGTS_TELEDATA_SERVICE, 18, SrlRule::kAny, "EGTS_SR_AD_SENSORS_DATA",
     &Make<Subrecord_AD_SENSORS_DATA>},
    {EGTS_TELEDATA_SERVICE, 19, SrlRule::kAny, "EGTS_SR_COUNTERS_DATA",
     &Make<Subrecord_COUNTERS_DATA>},
    {EGTS_TELEDATA_SERVICE, 20, SrlRule::kExactly5, "EGTS_SR_STATE_DATA",
     &Make<Subrecord_STATE_DATA>},
    {EGTS_TELEDATA_SERVICE, 20, SrlRule::kNot5, "EGTS_SR_ACCEL_DATA", &Make<Subrecord_ACCEL_DATA>},
    {EGTS_TELEDATA_SERVICE, 21, SrlRule::kAny, "EGTS_SR_STATE_DATA", &Make<Subrecord_STATE_DATA>},
    {EGTS_TELEDATA_SERVICE, 22, SrlRule::kAny, "EGTS_SR_LOOPIN_DATA", &Make<Subrecord_LOOPIN_DATA>},
    {EGTS_TELEDATA_SERVICE, 23, SrlRule::kAny, "EGTS_SR_ABS_DIG_SENS_DATA",
     &Make<Subrecord_ABS_DIG_SENS_DATA>},
    {EGTS_TELEDATA_SERVICE, 24, SrlRule::kAny, "EGTS_SR_ABS_AN_SENS_DATA",
     &Make<Subrecord_ABS_AN_SENS_DATA>},
    {EGTS_TELEDATA_SERVICE, 25, SrlRule::kAny, "EGTS_SR_ABS_CNTR_DATA",
     &Make<Subrecord_ABS_CNTR_DATA>},
    {EGTS_TELEDATA_SERVICE, 26, SrlRule::kAny, "EGTS_SR_ABS_LOOPIN_DATA",
     &Make<Subrecord_ABS_LOOPIN_DATA>},
    {EGTS_TELEDATA_SERVICE, 27, SrlRule::kAny, "EGTS_SR_LIQUID_LEVEL_SENSOR",
     &Make<Subrecord_LIQUID_LEVEL_SENSOR>},
    {EGTS_TELEDATA_SERVICE, 28, SrlRule::kAny, "EGTS_SR_PASSENGERS_COUNTERS",
     &Make<Subrecord_PASSENGERS_COUNTERS>},
    // FIRMWARE service rows go here.
    {EGTS_FIRMWARE_SERVICE, 33, SrlRule::kAny, "EGTS_SR_SERVICE_PART_DATA",
     &Make<Subrecord_SERVICE_PART_DATA>},
    {EGTS_FIRMWARE_SERVICE, 34, SrlRule::kAny, "EGTS_SR_SERVICE_FULL_DATA",
     &Make<Subrecord_SERVICE_FULL_DATA>},
    // ECALL service rows go here: the raw MSD decoded.
    {EGTS_ECALL_SERVICE, 40, SrlRule::kAny, "EGTS_SR_ECALL_RAW_MSD_DATA",
     &Make<Subrecord_ECALL_RAW_MSD_DATA_Decoded>},
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
