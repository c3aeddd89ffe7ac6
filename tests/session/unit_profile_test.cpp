#include "session/unit_profile.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace session {
namespace {

std::string Bundled() {
  std::ifstream in(KORVANE_EXAMPLES_DIR "/unit_profile.json");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string ErrorOf(const std::string& text) {
  UnitProfile profile;
  std::string error;
  EXPECT_FALSE(ParseUnitProfile(text, profile, error));
  return error;
}

const EGTS::ParameterValue& ValueOf(const UnitProfile& unit, const char* name) {
  for (const auto& [parameter, value] : unit.parameters) {
    if (std::string(parameter->name) == name) return value;
  }
  static const EGTS::ParameterValue none;
  ADD_FAILURE() << name;
  return none;
}

TEST(UnitProfile, BundledProfileReadsWithDefaultsForTheRest) {
  UnitProfile profile;
  std::string error;
  ASSERT_TRUE(ParseUnitProfile(Bundled(), profile, error)) << error;
  EXPECT_EQ(profile.tid, 1001u);
  EXPECT_EQ(profile.imei, "861715033983983");
  EXPECT_TRUE(profile.generatedRoute);
  EXPECT_DOUBLE_EQ(profile.start.lat, 55.75);
  EXPECT_EQ(profile.accel.size(), 20u);
  EXPECT_TRUE(profile.vehicleData);
  EXPECT_EQ(std::get<int32_t>(ValueOf(profile, "EGTS_UNIT_MIC_LEVEL")), 5);
  EXPECT_EQ(std::get<int32_t>(ValueOf(profile, "EGTS_UNIT_SPK_LEVEL")), 6);
  EXPECT_EQ(profile.parameters.size(), EGTS::UnitParameters().size());
}

TEST(UnitProfile, BadProfilesNameTheKey) {
  EXPECT_EQ(ErrorOf("{"), "profile: not a JSON document");
  const std::string route = R"("route":{"lat":1,"lon":2,"speed_kmh":3,"heading":4,"period_s":1})";
  EXPECT_EQ(ErrorOf(R"({"imei":"1",)" + route + "}").rfind("profile: ", 0), 0u);
  EXPECT_NE(ErrorOf(R"({"tid":-1,"imei":"1",)" + route + "}").find("tid: "), std::string::npos);
  EXPECT_NE(ErrorOf(R"({"tid":1,"imei":"12x",)" + route + "}").find("imei: "),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"tid":1,"imei":"1","route":{"lat":91,"lon":2,"speed_kmh":3,"heading":4,"period_s":1}})")
                .find("route.lat: "),
            std::string::npos);
  EXPECT_NE(ErrorOf(R"({"tid":1,"imei":"1","route":{"period_s":1}})").find("route"),
            std::string::npos);
  EXPECT_EQ(ErrorOf(R"({"tid":1,"imei":"1","ext-pos":true,)" + route + "}"),
            "ext-pos: not a key of a unit profile");
  EXPECT_EQ(ErrorOf(R"({"tid":1,"imei":"1","parameters":{"EGTS_UNIT_MIC_LEVEL":11},)" + route +
                    "}"),
            "parameters.EGTS_UNIT_MIC_LEVEL: out of range 0..10");
  EXPECT_EQ(ErrorOf(R"({"tid":1,"imei":"1","parameters":{"EGTS_NOPE":1},)" + route + "}"),
            "parameters.EGTS_NOPE: not a parameter of the unit");
  EXPECT_EQ(ErrorOf(R"({"tid":1,"imei":"1","parameters":{"EGTS_GPRS_APN":1},)" + route + "}"),
            "parameters.EGTS_GPRS_APN: STRING expected");
}

TEST(UnitProfile, FleetUnitsDifferInIdentityAndRoute) {
  UnitProfile profile;
  std::string error;
  ASSERT_TRUE(ParseUnitProfile(Bundled(), profile, error)) << error;
  const UnitProfile unit = DeriveUnit(profile, 123);
  EXPECT_EQ(unit.tid, 1124u);
  EXPECT_EQ(unit.imei, "861715033984106");
  EXPECT_EQ(unit.msisdn, "79000000124");
  EXPECT_NEAR(unit.start.lat, 55.75 + 0.23, 1e-9);
  EXPECT_NEAR(unit.start.lon, 37.61 + 0.01, 1e-9);
  EXPECT_EQ(std::get<int32_t>(ValueOf(unit, "EGTS_UNIT_ID")), 1124);
}

}  // namespace
}  // namespace session
