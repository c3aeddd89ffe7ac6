#include "session/unit_profile.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>
#include <exception>

#include <nlohmann/json.hpp>
// GCC 12 at -O3 takes a string replace inside valijson for an overlapping
// copy (-Wrestrict); the warning is about the library's code, not ours.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wrestrict"
#endif
#include <valijson/adapters/nlohmann_json_adapter.hpp>
#include <valijson/schema.hpp>
#include <valijson/schema_parser.hpp>
#include <valijson/validation_results.hpp>
#include <valijson/validator.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace session {

namespace {

using Json = nlohmann::json;

constexpr const char kSchema[] =
#include "unit_profile_schema.inc"
    ;

constexpr double kStepDegrees = 0.01;

// valijson's context of an error ("<root>", "[route]", "[lat]") as a key
// path ("route.lat"); "<root>" alone is "profile".
std::string KeyOf(const std::vector<std::string>& context) {
  std::string key;
  for (const std::string& part : context) {
    if (part == "<root>") continue;
    std::string name = part;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']') {
      name = name.substr(1, name.size() - 2);
    }
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') {
      name = name.substr(1, name.size() - 2);
    }
    key += key.empty() ? name : "." + name;
  }
  return key.empty() ? "profile" : key;
}

// The deepest error valijson reports names the key best: the errors of
// an object come after those of its members.
bool SchemaCheck(const Json& document, std::string& error) {
  static const valijson::Schema* const schema = [] {
    auto* parsed = new valijson::Schema;
    const Json schemaDocument = Json::parse(kSchema);
    valijson::SchemaParser parser(valijson::SchemaParser::kDraft7);
    valijson::adapters::NlohmannJsonAdapter adapter(schemaDocument);
    parser.populateSchema(adapter, *parsed);
    return parsed;
  }();
  valijson::Validator validator;
  valijson::ValidationResults results;
  valijson::adapters::NlohmannJsonAdapter adapter(document);
  if (validator.validate(*schema, adapter, &results)) return true;
  const valijson::ValidationResults::Error* deepest = nullptr;
  for (const auto& e : results) {
    if (deepest == nullptr || e.context.size() > deepest->context.size()) deepest = &e;
  }
  std::string key = KeyOf(deepest->context);
  std::string why = deepest->description;
  // A key the schema does not know is named by itself.
  const std::size_t quote = why.rfind(": '");
  if (why.find("additionalProperties") != std::string::npos && quote != std::string::npos &&
      why.size() > quote + 5) {
    const std::string name = why.substr(quote + 3, why.size() - quote - 5);
    key = key == "profile" ? name : key + "." + name;
    why = "not a key of a unit profile";
  }
  error = key + ": " + why;
  return false;
}

RoutePoint PointOf(const Json& j) {
  return {j.at("lat").get<double>(), j.at("lon").get<double>(), j.at("speed_kmh").get<double>(),
          j.at("heading").get<double>()};
}

std::optional<EGTS::ParameterValue> ValueOf(const EGTS::UnitParameter& p, const Json& j) {
  switch (p.type) {
    case EGTS::ParameterType::kInt:
      if (!j.is_number_integer()) return std::nullopt;
      if (j.is_number_unsigned() ? j.get<uint64_t>() > 0x7FFFFFFFu
                                 : (j.get<int64_t>() < INT32_MIN || j.get<int64_t>() > INT32_MAX)) {
        return std::nullopt;
      }
      return static_cast<int32_t>(j.get<int64_t>());
    case EGTS::ParameterType::kBoolean:
      if (!j.is_boolean()) return std::nullopt;
      return j.get<bool>();
    case EGTS::ParameterType::kFloat:
      if (!j.is_number()) return std::nullopt;
      return static_cast<float>(j.get<double>());
    case EGTS::ParameterType::kString:
      if (!j.is_string()) return std::nullopt;
      return j.get<std::string>();
  }
  return std::nullopt;
}

// The identity's parameters follow the identity unless the profile sets
// them.
EGTS::ParameterValue IdentityValue(const EGTS::UnitParameter& p, const UnitProfile& profile) {
  switch (p.code) {
    case 0x0311: return profile.vin;
    case 0x0312: return static_cast<int32_t>(profile.vehicleType);
    case 0x0313: return static_cast<int32_t>(profile.propulsion);
    case 0x0404: return static_cast<int32_t>(profile.tid);
    case 0x0405: return profile.imei;
    default: return EGTS::DefaultValue(p);
  }
}

bool ReadParameters(const Json& object, UnitProfile& profile, std::string& error) {
  for (const EGTS::UnitParameter& p : EGTS::UnitParameters()) {
    profile.parameters.emplace_back(&p, IdentityValue(p, profile));
  }
  for (const auto& [name, value] : object.items()) {
    const EGTS::UnitParameter* p = EGTS::FindParameter(name);
    if (p == nullptr) {
      error = "parameters." + name + ": not a parameter of the unit";
      return false;
    }
    const std::optional<EGTS::ParameterValue> v = ValueOf(*p, value);
    const std::string why = v ? EGTS::CheckValue(*p, *v)
                              : std::string(EGTS::ParameterTypeName(p->type)) + " expected";
    if (!why.empty()) {
      error = "parameters." + name + ": " + why;
      return false;
    }
    for (auto& entry : profile.parameters) {
      if (entry.first == p) entry.second = *v;
    }
  }
  return true;
}

void ReadAccel(const Json& accel, UnitProfile& profile) {
  if (accel.is_number_integer()) {
    // A braking pulse along the vehicle, a little sway, gravity on z.
    const auto count = accel.get<uint32_t>();
    for (uint32_t i = 0; i < count; ++i) {
      const double phase = static_cast<double>(i) / 8.0;
      profile.accel.push_back(
          {static_cast<uint16_t>(i == 0 ? 0 : 10), -3.0 * std::sin(phase), 0.5 * std::cos(phase),
           9.8});
    }
    return;
  }
  for (const Json& s : accel) {
    profile.accel.push_back({s.at("rtm_ms").get<uint16_t>(), s.at("x").get<double>(),
                             s.at("y").get<double>(), s.at("z").get<double>()});
  }
}

void ReadRoute(const Json& route, UnitProfile& profile) {
  profile.periodS = route.at("period_s").get<double>();
  if (route.contains("points")) {
    profile.generatedRoute = false;
    for (const Json& point : route.at("points")) profile.points.push_back(PointOf(point));
  } else {
    profile.start = PointOf(route);
  }
}

}  // namespace

std::string PlusDigits(const std::string& digits, uint32_t n) {
  std::string out = digits;
  uint64_t carry = n;
  for (std::size_t i = out.size(); i-- > 0 && carry != 0;) {
    const uint64_t sum = static_cast<uint64_t>(out[i] - '0') + carry;
    out[i] = static_cast<char>('0' + sum % 10);
    carry = sum / 10;
  }
  return out;
}

RoutePoint ShiftedPoint(RoutePoint point, uint32_t n) {
  point.lat = std::clamp(point.lat + kStepDegrees * (n % 100), -90.0, 90.0);
  point.lon += kStepDegrees * (n / 100);
  if (point.lon > 180) point.lon -= 360;
  return point;
}

const char* UnitProfileSchema() { return kSchema; }

bool ParseUnitProfile(const std::string& text, UnitProfile& profile, std::string& error) {
  const Json document = Json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    error = "profile: not a JSON document";
    return false;
  }
  try {
    if (!SchemaCheck(document, error)) return false;
    UnitProfile p;
    p.tid = document.at("tid").get<uint32_t>();
    p.imei = document.at("imei").get<std::string>();
    p.imsi = document.value("imsi", "");
    p.msisdn = document.value("msisdn", "");
    p.vin = document.value("vin", p.vin);
    p.vehicleType = document.value("vehicle_type", p.vehicleType);
    p.propulsion = document.value("propulsion", p.propulsion);
    p.bs = document.value("bs", p.bs);
    if (!ReadParameters(document.value("parameters", Json::object()), p, error)) return false;
    ReadRoute(document.at("route"), p);
    p.positions = document.value("positions", p.positions);
    p.recordsPerPacket = document.value("records_per_packet", p.recordsPerPacket);
    p.extPos = document.value("ext_pos", false);
    p.state = document.value("state", false);
    p.vehicleData = document.value("vehicle_data", false);
    if (document.contains("accel")) ReadAccel(document.at("accel"), p);
    profile = std::move(p);
    return true;
  } catch (const std::exception& e) {
    // Only a schema the program carries wrongly gets here.
    error = std::string("profile: ") + e.what();
    return false;
  }
}

UnitProfile DeriveUnit(const UnitProfile& profile, uint32_t n) {
  UnitProfile unit = profile;
  if (n == 0) return unit;
  unit.tid = profile.tid + n;
  unit.imei = PlusDigits(profile.imei, n);
  unit.imsi = PlusDigits(profile.imsi, n);
  unit.msisdn = PlusDigits(profile.msisdn, n);
  unit.start = ShiftedPoint(profile.start, n);
  for (RoutePoint& point : unit.points) point = ShiftedPoint(point, n);
  for (auto& [parameter, value] : unit.parameters) {
    if (parameter->code == 0x0404) value = static_cast<int32_t>(unit.tid);
    if (parameter->code == 0x0405) value = unit.imei;
  }
  return unit;
}

}  // namespace session
