#include "service/subrecord_factory.h"

#include <algorithm>
#include <memory>
#include <new>
#include <typeinfo>

#include "service/standard_subrecords.h"
#include "service/ecall/subrecord_accel_data.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/commands/subrecord_command_data.h"
#include "service/auth/subrecord_disp_identity.h"
#include "service/ecall/subrecord_ecall_msd_data.h"
#include "service/ecall/subrecord_ecall_raw_msd_data.h"
#include "service/logger/subrecord_logger_data.h"
#include "service/common/subrecord_record_response.h"
#include "service/auth/subrecord_srv_identity.h"
#include "service/ecall/subrecord_track_data.h"
#include "service/subrecord_types.h"
#include "service/wrapped/subrecord_wrapped_data.h"
#include "util/byte_order.h"
#include "transport/result_codes.h"

namespace EGTS {

namespace {

constexpr uint16_t kMinEcallMsdLength = 34;
constexpr uint16_t kMinCommandLength = 10;

struct ServiceSubrecord {
  uint8_t rst;
  uint8_t srt;
};

constexpr ServiceSubrecord kServiceTable[] = {
    {EGTS_AUTH_SERVICE, EGTS_SR_SRV_IDENTITY},
    {EGTS_AUTH_SERVICE, EGTS_SR_DISP_IDENTITY},
    {EGTS_COMMANDS_SERVICE, EGTS_SR_COMMAND_DATA},
    {EGTS_ECALL_SERVICE, EGTS_SR_ACCEL_DATA},
    {EGTS_ECALL_SERVICE, EGTS_SR_ECALL_RAW_MSD_DATA},
    {EGTS_ECALL_SERVICE, EGTS_SR_ECALL_MSD_DATA},
    {EGTS_ECALL_SERVICE, EGTS_SR_TRACK_DATA},
    {EGTS_LOGGER_SERVICE, EGTS_SR_LOGGER_DATA},
    {EGTS_NIP_SERVICE, EGTS_SR_WRAPPED_DATA},
    {EGTS_SMS_SERVICE, EGTS_SR_WRAPPED_DATA},
};

bool ServiceHasSubrecords(uint8_t rst) {
  for (const auto& row : kServiceTable) {
    if (row.rst == rst) return true;
  }
  return false;
}

bool ServiceAccepts(uint8_t rst, uint16_t srt) {
  for (const auto& row : kServiceTable) {
    if (row.rst == rst && row.srt == srt) return true;
  }
  return false;
}

bool AcceptedEverywhere(uint16_t srt) {
  return srt == EGTS_SR_RECORD_RESPONSE || srt == EGTS_SR_AUTH_RESULT_CODE;
}

template <typename T>
std::unique_ptr<Subrecord_Class> Make() {
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T);
}

std::unique_ptr<Subrecord_Class> MakeForType(uint16_t srt) {
  switch (srt) {
    case EGTS_SR_RECORD_RESPONSE: return Make<Subrecord_RECORD_RESPONSE>();
    case EGTS_SR_SRV_IDENTITY: return Make<Subrecord_SRV_IDENTITY>();
    case EGTS_SR_DISP_IDENTITY: return Make<Subrecord_DISP_IDENTITY>();
    case EGTS_SR_AUTH_RESULT_CODE: return Make<Subrecord_AUTH_RESULT_CODE>();
    case EGTS_SR_ACCEL_DATA: return Make<Subrecord_ACCEL_DATA>();
    case EGTS_SR_ECALL_RAW_MSD_DATA: return Make<Subrecord_ECALL_RAW_MSD_DATA>();
    case EGTS_SR_ECALL_MSD_DATA: return Make<Subrecord_ECALL_MSD_DATA>();
    case EGTS_SR_COMMAND_DATA: return Make<Subrecord_COMMAND_DATA>();
    case EGTS_SR_LOGGER_DATA: return Make<Subrecord_LOGGER_DATA>();
    case EGTS_SR_WRAPPED_DATA: return Make<Subrecord_WRAPPED_DATA>();
    case EGTS_SR_TRACK_DATA: return Make<Subrecord_TRACK_DATA>();
    default: return nullptr;
  }
}

// Fills a new object from SRD: the factory reads RECORD_RESPONSE and
// COMMAND_DATA itself; every other class decodes.
uint8_t Fill(Subrecord_Class& object, uint16_t srt, const uint8_t* srd, uint16_t srl) {
  switch (srt) {
    case EGTS_SR_RECORD_RESPONSE: {
      auto& response = static_cast<Subrecord_RECORD_RESPONSE&>(object);
      response.CRN = ReadU16(srd);
      response.RST = srd[2];
      return EGTS_PC_OK;
    }
    case EGTS_SR_COMMAND_DATA:
      return static_cast<Subrecord_COMMAND_DATA&>(object).FillFromSRD(srd, srl);
    case EGTS_SR_AUTH_RESULT_CODE:
      static_cast<Subrecord_AUTH_RESULT_CODE&>(object).RCD = EGTS_PC_AUTH_DENIED;
      return object.Decode(srd, srl);
    default:
      return object.Decode(srd, srl);
  }
}

// The checks that decide before an object is made; EGTS_PC_OK lets the
// factory go on.
uint8_t CheckHeader(uint16_t srt, uint16_t srl, uint32_t following, uint8_t rst) {
  const bool everywhere = AcceptedEverywhere(srt);
  if (srt == EGTS_SR_RECORD_RESPONSE && following < 3) return EGTS_PC_INVDATALEN;
  if (srt == EGTS_SR_AUTH_RESULT_CODE && following == 0) return EGTS_PC_INVDATALEN;
  if (!everywhere && ServiceHasSubrecords(rst) && !ServiceAccepts(rst, srt)) {
    return EGTS_PC_SR_UNKN;
  }
  if (srl > following) return EGTS_PC_INVDATALEN;
  if (!everywhere && !ServiceHasSubrecords(rst)) return EGTS_PC_SRVC_UNKN;
  if (srt == EGTS_SR_ECALL_MSD_DATA && srl < kMinEcallMsdLength) return EGTS_PC_INVDATALEN;
  if (srt == EGTS_SR_COMMAND_DATA && srl < kMinCommandLength) return EGTS_PC_INVDATALEN;
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

uint8_t Decide(const uint8_t* bytes, uint16_t available, const Record& record,
               Subrecord_Entry& entry) {
  uint8_t decided = EGTS_PC_OK;
  if (!ReadSubrecordHeader(bytes, available, entry, decided)) return decided;
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  const uint8_t checked = CheckHeader(entry.SRT, entry.SRL, following, record.RST);
  if (checked != EGTS_PC_OK) return checked;

  std::unique_ptr<Subrecord_Class> object = MakeForType(entry.SRT);
  if (!object) return EGTS_PC_NO_RES_AVAIL;
  const uint8_t filled = Fill(*object, entry.SRT, bytes + kSubrecordHeaderLength, entry.SRL);
  if (filled == EGTS_PC_OK) entry.object = std::move(object);
  return filled;
}

// The decision with the standard's further classes: a row of the standard
// table comes first; types the original classes know are decided as before;
// any other type is unknown to a service the standard knows (165), or its
// service is unknown (150).
uint8_t DecideStandard(const uint8_t* bytes, uint16_t available, const Record& record,
                       Subrecord_Entry& entry) {
  uint8_t decided = EGTS_PC_OK;
  if (!ReadSubrecordHeader(bytes, available, entry, decided)) return decided;
  const StandardSubrecord* row = FindStandardSubrecord(record.RST, entry.SRT, entry.SRL);
  if (row == nullptr) {
    if (AcceptedEverywhere(entry.SRT) || ServiceAccepts(record.RST, entry.SRT)) {
      return Decide(bytes, available, record, entry);
    }
    return StandardServiceKnown(record.RST) ? EGTS_PC_SR_UNKN : EGTS_PC_SRVC_UNKN;
  }
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  if (entry.SRL > following) return EGTS_PC_INVDATALEN;
  std::unique_ptr<Subrecord_Class> object = row->make();
  if (!object) return EGTS_PC_NO_RES_AVAIL;
  const uint8_t decoded = object->Decode(bytes + kSubrecordHeaderLength, entry.SRL);
  if (decoded == EGTS_PC_OK) {
    entry.object = std::move(object);
  } else {
    entry.checks = std::move(object->checks);
  }
  return decoded;
}

// Where no object holds the content the reports show the bytes themselves:
// no object was made, or its class keeps nothing (DISP_IDENTITY, whose
// copies carry no object at all).
void KeepBytes(const uint8_t* bytes, uint16_t available, Subrecord_Entry& entry,
               SubrecordSet set) {
  const bool kept =
      entry.object && (set == SubrecordSet::kStandard || entry.SRT != EGTS_SR_DISP_IDENTITY);
  if (kept || bytes == nullptr || available <= kSubrecordHeaderLength) return;
  const uint32_t following = static_cast<uint32_t>(available) - kSubrecordHeaderLength;
  const uint32_t held = std::min<uint32_t>(entry.SRL, following);
  entry.SRD.assign(bytes + kSubrecordHeaderLength, bytes + kSubrecordHeaderLength + held);
}

// A copy of an object of exactly class T; none for any other class (a class
// derived from T copies itself through Clone, without being cut down to T).
template <typename T>
std::unique_ptr<Subrecord_Class> CloneAs(const Subrecord_Class& object) {
  if (typeid(object) != typeid(T)) return nullptr;
  const T* typed = static_cast<const T*>(&object);
  return std::unique_ptr<Subrecord_Class>(new (std::nothrow) T(*typed));
}

std::unique_ptr<Subrecord_Class> Clone(uint16_t srt, const Subrecord_Class& object) {
  switch (srt) {
    case EGTS_SR_RECORD_RESPONSE: return CloneAs<Subrecord_RECORD_RESPONSE>(object);
    case EGTS_SR_SRV_IDENTITY: return CloneAs<Subrecord_SRV_IDENTITY>(object);
    case EGTS_SR_AUTH_RESULT_CODE: return CloneAs<Subrecord_AUTH_RESULT_CODE>(object);
    case EGTS_SR_ACCEL_DATA: return CloneAs<Subrecord_ACCEL_DATA>(object);
    case EGTS_SR_ECALL_RAW_MSD_DATA: return CloneAs<Subrecord_ECALL_RAW_MSD_DATA>(object);
    case EGTS_SR_ECALL_MSD_DATA: return CloneAs<Subrecord_ECALL_MSD_DATA>(object);
    case EGTS_SR_COMMAND_DATA: return CloneAs<Subrecord_COMMAND_DATA>(object);
    case EGTS_SR_LOGGER_DATA: return CloneAs<Subrecord_LOGGER_DATA>(object);
    case EGTS_SR_WRAPPED_DATA: return CloneAs<Subrecord_WRAPPED_DATA>(object);
    case EGTS_SR_TRACK_DATA: return CloneAs<Subrecord_TRACK_DATA>(object);
    default: return nullptr;  // DISP_IDENTITY carries no content
  }
}

}  // namespace

uint8_t CreateSubrecord(const uint8_t* bytes, uint16_t available, const Record& record,
                        Subrecord_Entry& entry, SubrecordSet set) {
  entry.result = set == SubrecordSet::kOriginal ? Decide(bytes, available, record, entry)
                                                : DecideStandard(bytes, available, record, entry);
  KeepBytes(bytes, available, entry, set);
  return entry.result;
}

const char* SubrecordName(uint8_t rst, uint16_t srt, uint16_t srl, SubrecordSet set) {
  if (set == SubrecordSet::kStandard) {
    if (const StandardSubrecord* row = FindStandardSubrecord(rst, srt, srl)) return row->name;
  }
  return SubrecordTypeName(srt);
}

const char* SubrecordNameWithoutLength(uint8_t rst, uint16_t srt, SubrecordSet set) {
  if (set == SubrecordSet::kStandard) {
    const StandardSubrecord* five = FindStandardSubrecord(rst, srt, 5);
    const StandardSubrecord* other = FindStandardSubrecord(rst, srt, 0);
    if (five != other) return five != nullptr && other != nullptr ? "unspecified" : SubrecordTypeName(srt);
    if (five != nullptr) return five->name;
  }
  return SubrecordTypeName(srt);
}

void CopySubrecordEntry(Subrecord_Entry& destination, const Subrecord_Entry& source) {
  destination.result = source.result;
  destination.SRT = source.SRT;
  destination.SRL = source.SRL;
  destination.object = nullptr;
  if (source.object) {
    destination.object = Clone(source.SRT, *source.object);
    if (!destination.object) destination.object = source.object->Clone();
  }
  destination.SRD = source.SRD;
  destination.checks = source.checks;
  destination.cutHeader = source.cutHeader;
}

const char* SubrecordTypeName(uint16_t srt) {
  switch (srt) {
    case EGTS_SR_RECORD_RESPONSE: return "EGTS_SR_RECORD_RESPONSE";
    case EGTS_SR_SRV_IDENTITY: return "EGTS_SR_SRV_IDENTITY";
    case EGTS_SR_DISP_IDENTITY: return "EGTS_SR_DISP_IDENTITY";
    case EGTS_SR_AUTH_RESULT_CODE: return "EGTS_SR_AUTH_RESULT_CODE";
    case EGTS_SR_ACCEL_DATA: return "EGTS_SR_ACCEL_DATA";
    case EGTS_SR_ECALL_RAW_MSD_DATA: return "EGTS_SR_ECALL_RAW_MSD_DATA";
    case EGTS_SR_ECALL_MSD_DATA: return "EGTS_SR_ECALL_MSD_DATA";
    case EGTS_SR_COMMAND_DATA: return "EGTS_SR_COMMAND_DATA";
    case EGTS_SR_LOGGER_DATA: return "EGTS_SR_LOGGER_DATA";
    case EGTS_SR_WRAPPED_DATA: return "EGTS_SR_WRAPPED_DATA";
    case EGTS_SR_TRACK_DATA: return "EGTS_SR_TRACK_DATA";
    default: return "unspecified";
  }
}

}  // namespace EGTS
