#pragma once
// A simulated unit's profile: who it is, the parameters it keeps, where it
// drives and what it sends. Read from JSON text checked against the schema
// of schema/unit_profile.schema.json (built into the program), then
// against the parameter table.
//
// With a count, unit n (0-based) is DeriveUnit(profile, n): tid, imei,
// imsi and msisdn plus n, and its route shifted by n steps of 0.01 degrees
// (north by n % 100, east by n / 100).

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "service/commands/unit_parameters.h"

namespace session {

struct RoutePoint {
  double lat = 0;
  double lon = 0;
  double speedKmh = 0;
  double heading = 0;  // degrees clockwise from north
};

struct AccelSample {
  uint16_t rtmMs = 0;  // since the previous sample
  double x = 0;        // m/s^2
  double y = 0;
  double z = 0;
};

struct UnitProfile {
  uint32_t tid = 0;
  std::string imei;
  std::string imsi;    // empty: not sent
  std::string msisdn;  // empty: not sent
  std::string vin = "00000000000000000";
  uint32_t vehicleType = 1;  // VHT class, 1 = M1
  uint32_t propulsion = 1;   // VPST bits
  uint16_t bs = 0;           // 0: not sent
  // Every parameter of the table with its value: the default, or the
  // profile's.
  std::vector<std::pair<const EGTS::UnitParameter*, EGTS::ParameterValue>> parameters;
  // A generated straight route from `start`, or the points in turn (again
  // from the first after the last).
  bool generatedRoute = true;
  RoutePoint start;
  std::vector<RoutePoint> points;
  double periodS = 1;
  uint32_t positions = 0;  // positions to send before the unit ends; 0: no end
  uint8_t recordsPerPacket = 1;
  bool extPos = false;
  bool state = false;
  bool vehicleData = false;
  std::vector<AccelSample> accel;
};

// The JSON Schema text the profile is checked against.
const char* UnitProfileSchema();

// Reads a profile from JSON text; false with `error` naming the key and
// what is wrong with it ("route.lat: ...").
bool ParseUnitProfile(const std::string& text, UnitProfile& profile, std::string& error);

// A decimal identity plus n, as long as the original (wrapping within its
// digits); and a route point shifted for unit n.
std::string PlusDigits(const std::string& digits, uint32_t n);
RoutePoint ShiftedPoint(RoutePoint point, uint32_t n);

// Unit n of a fleet made from `profile`.
UnitProfile DeriveUnit(const UnitProfile& profile, uint32_t n);

}  // namespace session
