#pragma once
// Positions for the track tests: a route of legs at known speeds, computed
// with GeographicLib's own geodesics, and its fixes written as EGTS packets
// byte by byte (POS_DATA with EXT_POS_DATA, TRACK_DATA), parsed as a source
// would parse them.

#include <cstdint>
#include <optional>
#include <vector>

#include "service/packet.h"
#include "support/packet_builder.h"

namespace testing_support {

// A fix as a unit reports it.
struct Fix {
  double latitude = 0;
  double longitude = 0;
  uint32_t egtsTime = 0;  // seconds since 2010-01-01 UTC
  double speedKmh = 0;
  double heading = 0;
  bool valid = true;
  std::optional<uint32_t> altitude;
  uint8_t source = 0;
};

// A route: from a start, legs of constant azimuth and speed, one fix a
// second (a leg of n seconds adds n fixes).
struct Leg {
  double azimuth;
  double speedKmh;
  int seconds;
};
std::vector<Fix> Route(double latitude, double longitude, uint32_t egtsTime,
                       const std::vector<Leg>& legs);
// GeographicLib's length of the line through the fixes, in metres.
double RouteLength(const std::vector<Fix>& fixes);

Bytes PosDataSrd(const Fix& fix);
Bytes ExtPosDataSrd(uint8_t satellites, uint16_t hdopHundredths);
// TRACK_DATA of the fixes, each RTM 9 (one second) after the one before,
// the first one second after ATM = the first fix's time - 1.
Bytes TrackDataSrd(const std::vector<Fix>& fixes);

// One APPDATA packet with one record (with OID when given) of service
// `service` holding the subrecords (SubrecordBytes, concatenated).
Bytes RecordPacket(std::optional<uint32_t> oid, uint8_t service, const Bytes& subrecords,
                   uint16_t pid, uint16_t rn);

// The packet parsed with the standard's subrecords.
PacketHolder Parsed(const Bytes& packet);

}  // namespace testing_support
