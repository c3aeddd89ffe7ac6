#include "service/subrecord_table.h"

#include <array>
#include <new>
#include <typeinfo>

#include "service/auth/subrecord_auth_info.h"
#include "service/auth/subrecord_auth_params.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/auth/subrecord_dispatcher_identity.h"
#include "service/auth/subrecord_module_data.h"
#include "service/auth/subrecord_service_info.h"
#include "service/auth/subrecord_srv_identity.h"
#include "service/auth/subrecord_term_identity.h"
#include "service/auth/subrecord_vehicle_data.h"
#include "service/commands/subrecord_command_data.h"
#include "service/common/subrecord_record_response.h"
#include "service/ecall/subrecord_accel_data.h"
#include "service/ecall/subrecord_ecall_msd_data.h"
#include "service/ecall/subrecord_ecall_raw_msd_data.h"
#include "service/ecall/subrecord_ecall_raw_msd_decoded.h"
#include "service/ecall/subrecord_track_data.h"
#include "service/firmware/subrecord_service_full_data.h"
#include "service/firmware/subrecord_service_part_data.h"
#include "service/logger/subrecord_logger_data.h"
#include "service/subrecord_types.h"
#include "service/teledata/subrecord_abs_an_sens_data.h"
#include "service/teledata/subrecord_abs_cntr_data.h"
#include "service/teledata/subrecord_abs_dig_sens_data.h"
#include "service/teledata/subrecord_abs_loopin_data.h"
#include "service/teledata/subrecord_ad_sensors_data.h"
#include "service/teledata/subrecord_counters_data.h"
#include "service/teledata/subrecord_ext_pos_data.h"
#include "service/teledata/subrecord_liquid_level_sensor.h"
#include "service/teledata/subrecord_loopin_data.h"
#include "service/teledata/subrecord_passengers_counters.h"
#include "service/teledata/subrecord_pos_data.h"
#include "service/teledata/subrecord_state_data.h"
#include "service/wrapped/subrecord_wrapped_data.h"
#include "transport/result_codes.h"

namespace EGTS {

namespace {

template <typename T>
std::unique_ptr<Subrecord_Class> Make() {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T);
}

// A copy of an object of exactly class T; none for any other class (a class
// derived from T copies itself through Clone, without being cut down to T).
template <typename T>
std::unique_ptr<Subrecord_Class> CloneAs(const Subrecord_Class& object) {
  if (typeid(object) != typeid(T)) return nullptr;
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T(static_cast<const T&>(object)));
}

template <typename T>
constexpr SubrecordClassOps Ops() {
  return {&Make<T>, &CloneAs<T>};
}

constexpr SubrecordClassOps kNoClass{};

// The fills of the original classes that do not decode with Decode alone.
// A record response takes its three bytes whatever SRL says: the row asks
// only that three follow.
uint8_t FillRecordResponse(Subrecord_Class& object, const uint8_t* srd, uint16_t) {
  return object.Decode(srd, 3);
}

constexpr uint8_t kEvery = SubrecordRow::kEveryService;
constexpr uint16_t kMinEcallMsdLength = 34;
constexpr uint16_t kMinCommandLength = 10;

// A row of the original set (optionally also decoded by a standard class).
constexpr SubrecordRow Original(uint8_t rst, uint8_t srt, const char* name,
                                SubrecordClassOps original, SubrecordFill fill = nullptr,
                                uint16_t minSrl = 0, uint8_t minFollowing = 0) {
  return {rst, srt, SrlRule::kAny, name, nullptr, true, original, fill, minSrl, minFollowing,
          kNoClass};
}

// A row only -x decodes.
constexpr SubrecordRow Standard(uint8_t rst, uint8_t srt, const char* name,
                                SubrecordClassOps standard, SrlRule rule = SrlRule::kAny) {
  return {rst, srt, rule, name, nullptr, false, kNoClass, nullptr, 0, 0, standard};
}

constexpr SubrecordRow WithStandard(SubrecordRow row, SubrecordClassOps standard) {
  row.standard = standard;
  return row;
}

// Rows of one service and type follow each other; services in any order.
constexpr SubrecordRow kRows[] = {
    Original(kEvery, EGTS_SR_RECORD_RESPONSE, "EGTS_SR_RECORD_RESPONSE",
             Ops<Subrecord_RECORD_RESPONSE>(), &FillRecordResponse, 0, 3),
    Original(kEvery, EGTS_SR_AUTH_RESULT_CODE, "EGTS_SR_AUTH_RESULT_CODE",
             Ops<Subrecord_AUTH_RESULT_CODE>(), nullptr, 0, 1),
    // AUTH
    Standard(EGTS_AUTH_SERVICE, 1, "EGTS_SR_TERM_IDENTITY", Ops<Subrecord_TERM_IDENTITY>()),
    Standard(EGTS_AUTH_SERVICE, 2, "EGTS_SR_MODULE_DATA", Ops<Subrecord_MODULE_DATA>()),
    Standard(EGTS_AUTH_SERVICE, 3, "EGTS_SR_VEHICLE_DATA", Ops<Subrecord_VEHICLE_DATA>()),
    Original(EGTS_AUTH_SERVICE, EGTS_SR_SRV_IDENTITY, "EGTS_SR_SRV_IDENTITY",
             Ops<Subrecord_SRV_IDENTITY>()),
    // SRT 5: without -x accepted and kept as bytes only, with -x decoded.
    {EGTS_AUTH_SERVICE, EGTS_SR_DISP_IDENTITY, SrlRule::kAny, "EGTS_SR_DISPATCHER_IDENTITY",
     "EGTS_SR_DISP_IDENTITY", true, kNoClass, nullptr, 0, 0, Ops<Subrecord_DISPATCHER_IDENTITY>()},
    Standard(EGTS_AUTH_SERVICE, 6, "EGTS_SR_AUTH_PARAMS", Ops<Subrecord_AUTH_PARAMS>()),
    Standard(EGTS_AUTH_SERVICE, 7, "EGTS_SR_AUTH_INFO", Ops<Subrecord_AUTH_INFO>()),
    Standard(EGTS_AUTH_SERVICE, 8, "EGTS_SR_SERVICE_INFO", Ops<Subrecord_SERVICE_INFO>()),
    // TELEDATA
    Standard(EGTS_TELEDATA_SERVICE, 16, "EGTS_SR_POS_DATA", Ops<Subrecord_POS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 17, "EGTS_SR_EXT_POS_DATA", Ops<Subrecord_EXT_POS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 18, "EGTS_SR_AD_SENSORS_DATA",
             Ops<Subrecord_AD_SENSORS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 19, "EGTS_SR_COUNTERS_DATA", Ops<Subrecord_COUNTERS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 20, "EGTS_SR_STATE_DATA", Ops<Subrecord_STATE_DATA>(),
             SrlRule::kExactly5),
    Standard(EGTS_TELEDATA_SERVICE, 20, "EGTS_SR_ACCEL_DATA", Ops<Subrecord_ACCEL_DATA>(),
             SrlRule::kNot5),
    Standard(EGTS_TELEDATA_SERVICE, 21, "EGTS_SR_STATE_DATA", Ops<Subrecord_STATE_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 22, "EGTS_SR_LOOPIN_DATA", Ops<Subrecord_LOOPIN_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 23, "EGTS_SR_ABS_DIG_SENS_DATA",
             Ops<Subrecord_ABS_DIG_SENS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 24, "EGTS_SR_ABS_AN_SENS_DATA",
             Ops<Subrecord_ABS_AN_SENS_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 25, "EGTS_SR_ABS_CNTR_DATA", Ops<Subrecord_ABS_CNTR_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 26, "EGTS_SR_ABS_LOOPIN_DATA",
             Ops<Subrecord_ABS_LOOPIN_DATA>()),
    Standard(EGTS_TELEDATA_SERVICE, 27, "EGTS_SR_LIQUID_LEVEL_SENSOR",
             Ops<Subrecord_LIQUID_LEVEL_SENSOR>()),
    Standard(EGTS_TELEDATA_SERVICE, 28, "EGTS_SR_PASSENGERS_COUNTERS",
             Ops<Subrecord_PASSENGERS_COUNTERS>()),
    // COMMANDS
    Original(EGTS_COMMANDS_SERVICE, EGTS_SR_COMMAND_DATA, "EGTS_SR_COMMAND_DATA",
             Ops<Subrecord_COMMAND_DATA>(), nullptr, kMinCommandLength),
    // FIRMWARE
    Standard(EGTS_FIRMWARE_SERVICE, 33, "EGTS_SR_SERVICE_PART_DATA",
             Ops<Subrecord_SERVICE_PART_DATA>()),
    Standard(EGTS_FIRMWARE_SERVICE, 34, "EGTS_SR_SERVICE_FULL_DATA",
             Ops<Subrecord_SERVICE_FULL_DATA>()),
    // ECALL: with -x the raw MSD is decoded as well.
    Original(EGTS_ECALL_SERVICE, EGTS_SR_ACCEL_DATA, "EGTS_SR_ACCEL_DATA",
             Ops<Subrecord_ACCEL_DATA>()),
    WithStandard(Original(EGTS_ECALL_SERVICE, EGTS_SR_ECALL_RAW_MSD_DATA,
                          "EGTS_SR_ECALL_RAW_MSD_DATA", Ops<Subrecord_ECALL_RAW_MSD_DATA>()),
                 Ops<Subrecord_ECALL_RAW_MSD_DATA_Decoded>()),
    Original(EGTS_ECALL_SERVICE, EGTS_SR_ECALL_MSD_DATA, "EGTS_SR_ECALL_MSD_DATA",
             Ops<Subrecord_ECALL_MSD_DATA>(), nullptr, kMinEcallMsdLength),
    Original(EGTS_ECALL_SERVICE, EGTS_SR_TRACK_DATA, "EGTS_SR_TRACK_DATA",
             Ops<Subrecord_TRACK_DATA>()),
    // LOGGER, NIP and SMS
    Original(EGTS_LOGGER_SERVICE, EGTS_SR_LOGGER_DATA, "EGTS_SR_LOGGER_DATA",
             Ops<Subrecord_LOGGER_DATA>()),
    Original(EGTS_NIP_SERVICE, EGTS_SR_WRAPPED_DATA, "EGTS_SR_WRAPPED_DATA",
             Ops<Subrecord_WRAPPED_DATA>()),
    Original(EGTS_SMS_SERVICE, EGTS_SR_WRAPPED_DATA, "EGTS_SR_WRAPPED_DATA",
             Ops<Subrecord_WRAPPED_DATA>()),
};

constexpr std::size_t kRowCount = std::size(kRows);
constexpr uint8_t kNoRow = 0xFF;
static_assert(kRowCount < kNoRow);

struct ServiceName {
  uint8_t rst;
  const char* name;
};

constexpr ServiceName kServices[] = {
    {EGTS_AUTH_SERVICE, "EGTS_AUTH_SERVICE"},         {EGTS_TELEDATA_SERVICE, "EGTS_TELEDATA_SERVICE"},
    {EGTS_COMMANDS_SERVICE, "EGTS_COMMANDS_SERVICE"}, {EGTS_FIRMWARE_SERVICE, "EGTS_FIRMWARE_SERVICE"},
    {EGTS_ECALL_SERVICE, "EGTS_ECALL_SERVICE"},       {EGTS_LOGGER_SERVICE, "EGTS_LOGGER_SERVICE"},
    {EGTS_NIP_SERVICE, "EGTS_NIP_SERVICE"},           {EGTS_SMS_SERVICE, "EGTS_SMS_SERVICE"},
};

// Where the rows of a service and type begin, by service slot (slot 0: no
// rows of its own) and type; and the row accepted without -x by type alone.
struct RowIndex {
  static constexpr std::size_t kSlots = std::size(kServices) + 1;

  std::array<const char*, 256> serviceName{};
  std::array<uint8_t, 256> slotOfService{};
  std::array<bool, 256> hasOriginalRows{};
  std::array<std::array<uint8_t, 256>, kSlots> firstRow{};
  std::array<uint8_t, 256> everyService{};
  std::array<uint8_t, 256> acceptedByType{};
};

constexpr RowIndex MakeIndex() {
  RowIndex index;
  for (auto& slot : index.firstRow) slot.fill(kNoRow);
  index.everyService.fill(kNoRow);
  index.acceptedByType.fill(kNoRow);
  uint8_t slot = 0;
  for (const ServiceName& service : kServices) {
    index.serviceName[service.rst] = service.name;
    index.slotOfService[service.rst] = ++slot;
  }
  for (uint8_t i = 0; i < kRowCount; ++i) {
    const SubrecordRow& row = kRows[i];
    if (row.accepted && index.acceptedByType[row.srt] == kNoRow) index.acceptedByType[row.srt] = i;
    if (row.rst == kEvery) {
      index.everyService[row.srt] = i;
      continue;
    }
    if (row.accepted) index.hasOriginalRows[row.rst] = true;
    uint8_t& first = index.firstRow[index.slotOfService[row.rst]][row.srt];
    if (first == kNoRow) first = i;
  }
  return index;
}

constexpr RowIndex kIndex = MakeIndex();

// Every row's service has a name, and the rows of one service and type
// follow each other.
constexpr bool RowsWellFormed() {
  for (std::size_t i = 0; i < kRowCount; ++i) {
    const SubrecordRow& row = kRows[i];
    if (row.rst != kEvery && kIndex.slotOfService[row.rst] == 0) return false;
    if (row.rst == kEvery) continue;
    const uint8_t first = kIndex.firstRow[kIndex.slotOfService[row.rst]][row.srt];
    for (std::size_t j = first; j < i; ++j) {
      if (kRows[j].rst != row.rst || kRows[j].srt != row.srt) return false;
    }
  }
  return true;
}
static_assert(RowsWellFormed());

bool Matches(SrlRule rule, uint16_t srl) {
  switch (rule) {
    case SrlRule::kAny: return true;
    case SrlRule::kExactly5: return srl == 5;
    case SrlRule::kNot5: return srl != 5;
  }
  return false;
}

// The first row of the service and type for which `wanted` holds.
template <typename Wanted>
const SubrecordRow* FindOwnRow(uint8_t rst, uint16_t srt, Wanted wanted) {
  if (srt > 0xFF) return nullptr;
  for (std::size_t i = kIndex.firstRow[kIndex.slotOfService[rst]][srt];
       i < kRowCount && kRows[i].rst == rst && kRows[i].srt == srt; ++i) {
    if (wanted(kRows[i])) return &kRows[i];
  }
  return nullptr;
}

}  // namespace

const SubrecordRow* FindStandardSubrecord(uint8_t rst, uint16_t srt, uint16_t srl) {
  return FindOwnRow(rst, srt, [srl](const SubrecordRow& row) {
    return row.standard.make != nullptr && Matches(row.rule, srl);
  });
}

const SubrecordRow* FindOriginalSubrecord(uint8_t rst, uint16_t srt) {
  if (srt > 0xFF) return nullptr;
  if (kIndex.everyService[srt] != kNoRow) return &kRows[kIndex.everyService[srt]];
  return FindOwnRow(rst, srt, [](const SubrecordRow& row) { return row.accepted; });
}

bool ServiceHasOriginalSubrecords(uint8_t rst) { return kIndex.hasOriginalRows[rst]; }

bool StandardServiceKnown(uint8_t rst) { return kIndex.serviceName[rst] != nullptr; }

const char* SubrecordTypeName(uint16_t srt) {
  if (srt > 0xFF || kIndex.acceptedByType[srt] == kNoRow) return "unspecified";
  return kRows[kIndex.acceptedByType[srt]].NameWithoutX();
}

std::unique_ptr<Subrecord_Class> CloneSubrecord(uint16_t srt, const Subrecord_Class& object) {
  if (srt <= 0xFF && kIndex.acceptedByType[srt] != kNoRow) {
    const SubrecordClassOps& ops = kRows[kIndex.acceptedByType[srt]].original;
    if (ops.clone != nullptr) {
      if (std::unique_ptr<Subrecord_Class> copy = ops.clone(object)) return copy;
    }
  }
  return object.Clone();
}

}  // namespace EGTS

const char* ServiceTypeName(uint16_t serviceType) {
  if (serviceType > 0xFF) return "unspecified";
  const char* name = EGTS::kIndex.serviceName[serviceType];
  return name != nullptr ? name : "unspecified";
}
