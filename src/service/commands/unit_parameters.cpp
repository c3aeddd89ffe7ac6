#include "service/commands/unit_parameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "util/byte_order.h"
#include "util/text.h"

namespace EGTS {

namespace {

using T = ParameterType;

constexpr int64_t kIntMin = std::numeric_limits<int32_t>::min();
constexpr int64_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kCount = kIntMax;  // durations, counts and distances: 0..kCount

// Where sources disagree on a code, the row follows the one that agrees with
// captured unit traffic; the conflicting names are left out.
constexpr UnitParameter kParameters[] = {
    {0x0201, "EGTS_RADIO_MUTE_DELAY", T::kInt, 0, kCount, false, 500, ""},
    {0x0202, "EGTS_RADIO_UNMUTE_DELAY", T::kInt, 0, kCount, false, 500, ""},
    {0x0203, "EGTS_GPRS_APN", T::kString, 0, 0, false, 0, ""},
    {0x0204, "EGTS_SERVER_ADDRESS", T::kString, 0, 0, false, 0, ""},
    {0x0205, "EGTS_SIM_PIN", T::kInt, 0, kCount, false, 0, ""},
    {0x0206, "EGTS_INT_MEM_TRANSMIT_INTERVAL", T::kInt, 0, kCount, false, 60, ""},
    {0x0207, "EGTS_INT_MEM_TRANSMIT_ATTEMPTS", T::kInt, 0, kCount, false, 10, ""},
    {0x0208, "EGTS_SELFTEST_INTERVAL", T::kInt, 0, kCount, false, 0, ""},
    {0x0209, "EGTS_POST_TEST_REGISTRATION_TIME", T::kInt, 0, kCount, false, 0, ""},
    {0x020A, "EGTS_TEST_MODE_END_DISTANCE", T::kInt, 0, kCount, false, 300, ""},
    {0x020B, "EGTS_GARAGE_MODE_END_DISTANCE", T::kInt, 0, kCount, false, 300, ""},
    {0x020C, "EGTS_GARAGE_MODE_PIN", T::kInt, 0, 8, false, 0, ""},
    {0x020D, "EGTS_ECALL_TEST_NUMBER", T::kString, 0, 0, false, 0, ""},
    {0x020E, "EGTS_TEST_MODE_WATCHDOG", T::kInt, 0, kCount, false, 10, ""},
    {0x0210, "EGTS_ECALL_ON", T::kBoolean, 0, 1, false, 1, ""},
    {0x0211, "EGTS_ECALL_CRASH_SIGNAL_INTERNAL", T::kBoolean, 0, 1, false, 1, ""},
    {0x0212, "EGTS_ECALL_CRASH_SIGNAL_EXTERNAL", T::kBoolean, 0, 1, false, 1, ""},
    {0x0213, "EGTS_ECALL_SOS_BUTTON_TIME", T::kInt, 0, kCount, false, 200, ""},
    {0x0214, "EGTS_ECALL_NO_AUTOMATIC_TRIGGERING", T::kBoolean, 0, 1, false, 0, ""},
    {0x0215, "EGTS_ASI15_TRESHOLD", T::kFloat, 0, 100, false, 1.8, ""},
    {0x0216, "EGTS_ECALL_MODE_PIN", T::kInt, 0, 8, false, 0, ""},
    {0x0217, "EGTS_ECALL_CCFT", T::kInt, 0, kCount, false, 60, ""},
    {0x0218, "EGTS_ECALL_INVITATION_SIGNAL_DURATION", T::kInt, 0, kCount, false, 2000, ""},
    {0x0219, "EGTS_ECALL_SEND_MSG_PERIOD", T::kInt, 0, kCount, false, 5000, ""},
    {0x021A, "EGTS_ECALL_AL_ACK_PERIOD", T::kInt, 0, kCount, false, 5000, ""},
    {0x021B, "EGTS_ECALL_MSD_MAX_TRANSMISSION_TIME", T::kInt, 0, kCount, false, 20, ""},
    {0x021D, "EGTS_ECALL_NAD_DEREGISTRATION_TIMER", T::kInt, 0, kCount, false, 8, ""},
    {0x021E, "EGTS_ECALL_DIAL_DURATION", T::kInt, 0, kCount, false, 5, ""},
    {0x021F, "EGTS_ECALL_AUTO_DIAL_ATTEMPTS", T::kInt, 0, kCount, false, 10, ""},
    {0x0220, "EGTS_ECALL_MANUAL_DIAL_ATTEMPTS", T::kInt, 0, kCount, false, 10, ""},
    {0x0222, "EGTS_ECALL_MANUAL_CAN_CANCEL", T::kBoolean, 0, 1, false, 1, ""},
    {0x0223, "EGTS_ECALL_SMS_FALLBACK_NUMBER", T::kString, 0, 0, false, 0, "112"},
    {0x0224, "EGTS_IGNITION_OFF_FOLLOW_UP_TIME1", T::kInt, 0, kCount, false, 120, ""},
    {0x0225, "EGTS_IGNITION_OFF_FOLLOW_UP_TIME2", T::kInt, 0, kCount, false, 240, ""},
    {0x0230, "EGTS_USE_GPRS_WHITE_LIST", T::kBoolean, 0, 1, false, 0, ""},
    {0x0241, "EGTS_TEST_REGISTRATION_TIMEOUT", T::kInt, 0, kCount, false, 5, ""},
    {0x0242, "EGTS_TEST_REGISTRATION_PERIOD", T::kInt, 0, kCount, false, 5, ""},
    {0x0251, "EGTS_CRASH_RECORD_TIME", T::kInt, 0, kCount, false, 250, ""},
    {0x0252, "EGTS_CRASH_RECORD_RESOLUTION", T::kInt, 0, kCount, false, 1, ""},
    {0x0253, "EGTS_CRASH_PRE_RECORD_TIME", T::kInt, 0, kCount, false, 20000, ""},
    {0x0254, "EGTS_CRASH_PRE_RECORD_RESOLUTION", T::kInt, 0, kCount, false, 5, ""},
    {0x025A, "EGTS_TRACK_RECORD_TIME", T::kInt, 0, kCount, false, 10, ""},
    {0x025B, "EGTS_TRACK_PRE_RECORD_TIME", T::kInt, 0, kCount, false, 20, ""},
    {0x025C, "EGTS_TRACK_RECORD_RESOLUTION", T::kInt, 0, kCount, false, 10, ""},
    {0x0301, "EGTS_GNSS_POWER_OFF_TIME", T::kInt, 0, kCount, false, 500, ""},
    {0x0302, "EGTS_GNSS_DATA_RATE", T::kInt, 1, 10, false, 1, ""},
    {0x0303, "EGTS_GNSS_MIN_ELEVATION", T::kInt, 5, 15, false, 5, ""},
    {0x0311, "EGTS_VEHICLE_VIN", T::kString, 0, 0, false, 0, ""},
    {0x0312, "EGTS_VEHICLE_TYPE", T::kInt, 0, kCount, false, 0, ""},
    {0x0313, "EGTS_VEHICLE_PROPULSION_STORAGE_TYPE", T::kInt, 0, kCount, false, 0, ""},
    {0x0400, "EGTS_UNIT_SERIAL_NUMBER", T::kString, 0, 0, true, 0, ""},
    {0x0401, "EGTS_UNIT_HW_VERSION", T::kString, 0, 0, true, 0, ""},
    {0x0402, "EGTS_UNIT_SW_VERSION", T::kString, 0, 0, true, 0, ""},
    {0x0403, "EGTS_UNIT_VENDOR_ID", T::kInt, kIntMin, kIntMax, true, 0, ""},
    {0x0404, "EGTS_UNIT_ID", T::kInt, kIntMin, kIntMax, false, 0, ""},
    {0x0405, "EGTS_UNIT_IMEI", T::kString, 0, 0, true, 0, ""},
    {0x0406, "EGTS_UNIT_RS485_BAUD_RATE", T::kInt, 0, kCount, false, 19200, ""},
    {0x0407, "EGTS_UNIT_RS485_STOP_BITS", T::kInt, 1, 2, false, 1, ""},
    {0x0408, "EGTS_UNIT_RS485_PARITY", T::kInt, 0, 2, false, 0, ""},
    {0x0410, "EGTS_UNIT_LANGUAGE_ID", T::kInt, 0, kCount, false, 0, ""},
    {0x0411, "EGTS_UNIT_HOME_DISPATCHER_ID", T::kInt, 0, kCount, false, 0, ""},
    {0x0412, "EGTS_SERVICE_AUTH_METHOD", T::kInt, 0, 1, false, 1, ""},
    {0x0413, "EGTS_SERVER_CHECK_IN_PERIOD", T::kInt, 0, kCount, false, 30, ""},
    {0x0414, "EGTS_SERVER_CHECK_IN_ATTEMPTS", T::kInt, 0, kCount, false, 5, ""},
    {0x0415, "EGTS_SERVER_PACKET_TOUT", T::kInt, 0, kCount, false, 5, ""},
    {0x0416, "EGTS_SERVER_PACKET_RETRANSMIT_ATTEMPTS", T::kInt, 0, kCount, false, 3, ""},
    {0x0417, "EGTS_UNIT_MIC_LEVEL", T::kInt, 0, 10, false, 8, ""},
    {0x0418, "EGTS_UNIT_SPK_LEVEL", T::kInt, 0, 10, false, 6, ""},
};

void WriteU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

std::string RangeText(const UnitParameter& p) {
  return "out of range " + std::to_string(p.min) + ".." + std::to_string(p.max);
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const char* end = text.data() + text.size();
  const auto [ptr, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::span<const UnitParameter> UnitParameters() { return kParameters; }

const UnitParameter* FindParameter(std::string_view name) {
  for (const UnitParameter& p : kParameters) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

const UnitParameter* FindParameter(uint16_t code) {
  const auto* found = std::lower_bound(
      std::begin(kParameters), std::end(kParameters), code,
      [](const UnitParameter& p, uint16_t c) { return p.code < c; });
  return found != std::end(kParameters) && found->code == code ? found : nullptr;
}

const char* ParameterTypeName(ParameterType type) {
  switch (type) {
    case T::kInt: return "INT";
    case T::kBoolean: return "BOOLEAN";
    case T::kFloat: return "FLOAT";
    case T::kString: return "STRING";
  }
  return "INT";
}

ParameterValue DefaultValue(const UnitParameter& p) {
  switch (p.type) {
    case T::kInt: return static_cast<int32_t>(p.defaultNumber);
    case T::kBoolean: return p.defaultNumber != 0;
    case T::kFloat: return static_cast<float>(p.defaultNumber);
    case T::kString: return std::string(p.defaultText);
  }
  return int32_t{0};
}

std::string CheckValue(const UnitParameter& p, const ParameterValue& value) {
  if (value.index() != static_cast<std::size_t>(p.type)) {
    return std::string(ParameterTypeName(p.type)) + " expected";
  }
  switch (p.type) {
    case T::kInt: {
      const int32_t v = std::get<int32_t>(value);
      return v < p.min || v > p.max ? RangeText(p) : "";
    }
    case T::kFloat: {
      const float v = std::get<float>(value);
      if (!std::isfinite(v)) return "not a finite number";
      return v < static_cast<float>(p.min) || v > static_cast<float>(p.max) ? RangeText(p) : "";
    }
    case T::kString:
      return std::get<std::string>(value).size() > kMaxStringBytes
                 ? "longer than " + std::to_string(kMaxStringBytes) + " bytes"
                 : "";
    case T::kBoolean: return "";
  }
  return "";
}

std::vector<uint8_t> EncodeValue(const ParameterValue& value) {
  std::vector<uint8_t> dt;
  if (const auto* i = std::get_if<int32_t>(&value)) {
    dt.resize(4);
    WriteU32(dt.data(), static_cast<uint32_t>(*i));
  } else if (const auto* b = std::get_if<bool>(&value)) {
    dt.push_back(*b ? 1 : 0);
  } else if (const auto* f = std::get_if<float>(&value)) {
    uint32_t bits = 0;
    std::memcpy(&bits, f, sizeof bits);
    dt.resize(4);
    WriteU32(dt.data(), bits);
  } else {
    const std::string& s = std::get<std::string>(value);
    dt.assign(s.begin(), s.end());
  }
  return dt;
}

std::optional<ParameterValue> DecodeValue(const UnitParameter& p, std::span<const uint8_t> dt) {
  switch (p.type) {
    case T::kInt:
      if (dt.size() != 4) return std::nullopt;
      return static_cast<int32_t>(ReadU32(dt.data()));
    case T::kBoolean:
      if (dt.size() != 1) return std::nullopt;
      return dt[0] != 0;
    case T::kFloat: {
      if (dt.size() != 4) return std::nullopt;
      const uint32_t bits = ReadU32(dt.data());
      float f = 0;
      std::memcpy(&f, &bits, sizeof f);
      return f;
    }
    case T::kString:
      if (dt.size() > kMaxStringBytes) return std::nullopt;
      return std::string(dt.begin(), dt.end());
  }
  return std::nullopt;
}

std::optional<ParameterValue> ParseValueText(const UnitParameter& p, std::string_view text) {
  switch (p.type) {
    case T::kInt:
      if (auto v = ParseNumber<int32_t>(text)) return *v;
      return std::nullopt;
    case T::kBoolean:
      if (text == "1" || text == "true") return true;
      if (text == "0" || text == "false") return false;
      return std::nullopt;
    case T::kFloat:
      if (auto v = ParseNumber<float>(text)) return *v;
      return std::nullopt;
    case T::kString: return std::string(text);
  }
  return std::nullopt;
}

std::string ValueText(const ParameterValue& value) {
  if (const auto* i = std::get_if<int32_t>(&value)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "true" : "false";
  if (const auto* f = std::get_if<float>(&value)) return StringPrintf("%.7g", double{*f});
  return std::get<std::string>(value);
}

}  // namespace EGTS
