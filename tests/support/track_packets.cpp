#include "support/track_packets.h"

#include <cmath>

#include <GeographicLib/Geodesic.hpp>
#include <GeographicLib/PolygonArea.hpp>

#include "service/record_parser.h"
#include "transport/transport_header.h"

namespace testing_support {

namespace {

uint32_t Magnitude(double degrees, double fullScale) {
  return static_cast<uint32_t>(std::llround(std::fabs(degrees) / fullScale * 4294967295.0));
}

}  // namespace

std::vector<Fix> Route(double latitude, double longitude, uint32_t egtsTime,
                       const std::vector<Leg>& legs) {
  const GeographicLib::Geodesic& wgs84 = GeographicLib::Geodesic::WGS84();
  std::vector<Fix> fixes;
  Fix fix;
  fix.latitude = latitude;
  fix.longitude = longitude;
  fix.egtsTime = egtsTime;
  fix.speedKmh = legs.empty() ? 0 : legs[0].speedKmh;
  fix.heading = legs.empty() ? 0 : legs[0].azimuth;
  fixes.push_back(fix);
  for (const Leg& leg : legs) {
    double azimuth = leg.azimuth;
    for (int s = 0; s < leg.seconds; ++s) {
      double lat2 = 0, lon2 = 0, azi2 = 0;
      wgs84.Direct(fix.latitude, fix.longitude, azimuth, leg.speedKmh / 3.6, lat2, lon2, azi2);
      fix.latitude = lat2;
      fix.longitude = lon2;
      fix.egtsTime += 1;
      fix.speedKmh = leg.speedKmh;
      azimuth = azi2;
      fix.heading = std::fmod(std::round(azi2) + 360, 360);
      fixes.push_back(fix);
    }
  }
  return fixes;
}

double RouteLength(const std::vector<Fix>& fixes) {
  GeographicLib::PolygonArea line(GeographicLib::Geodesic::WGS84(), true);
  for (const Fix& fix : fixes) line.AddPoint(fix.latitude, fix.longitude);
  double perimeter = 0, area = 0;
  line.Compute(false, true, perimeter, area);
  return perimeter;
}

Bytes PosDataSrd(const Fix& fix) {
  Bytes srd;
  PutU32(srd, fix.egtsTime);
  PutU32(srd, Magnitude(fix.latitude, 90));
  PutU32(srd, Magnitude(fix.longitude, 180));
  uint8_t flags = fix.valid ? 0x03 : 0x00;  // VLD, FIX (3D)
  if (fix.altitude) flags |= 0x80;
  if (fix.longitude < 0) flags |= 0x40;
  if (fix.latitude < 0) flags |= 0x20;
  srd.push_back(flags);
  const auto heading = static_cast<unsigned>(std::lround(fix.heading));
  PutU16(srd, static_cast<uint16_t>((std::lround(fix.speedKmh * 10) & 0x3FFF) |
                                    ((heading & 0x100) ? 0x8000 : 0)));
  srd.push_back(static_cast<uint8_t>(heading & 0xFF));
  srd.insert(srd.end(), {0, 0, 0});  // ODM
  srd.push_back(0);                  // DIN
  srd.push_back(fix.source);
  if (fix.altitude) {
    for (int shift = 0; shift < 24; shift += 8) {
      srd.push_back(static_cast<uint8_t>(*fix.altitude >> shift));
    }
  }
  return srd;
}

Bytes ExtPosDataSrd(uint8_t satellites, uint16_t hdopHundredths) {
  Bytes srd{0x0A};  // SFE, HFE
  PutU16(srd, hdopHundredths);
  srd.push_back(satellites);
  return srd;
}

Bytes TrackDataSrd(const std::vector<Fix>& fixes) {
  Bytes srd{static_cast<uint8_t>(fixes.size())};
  PutU32(srd, fixes.empty() ? 0 : fixes[0].egtsTime - 1);
  for (const Fix& fix : fixes) {
    uint8_t flags = 0x80 | 9;  // TNDE, RTM 9: one second
    if (fix.longitude < 0) flags |= 0x40;
    if (fix.latitude < 0) flags |= 0x20;
    srd.push_back(flags);
    PutU32(srd, Magnitude(fix.latitude, 90));
    PutU32(srd, Magnitude(fix.longitude, 180));
    const auto heading = static_cast<unsigned>(std::lround(fix.heading));
    PutU16(srd, static_cast<uint16_t>((std::lround(fix.speedKmh * 100) & 0x7FFF) |
                                      ((heading & 0x100) ? 0x8000 : 0)));
    srd.push_back(static_cast<uint8_t>(heading & 0xFF));
  }
  return srd;
}

Bytes RecordPacket(std::optional<uint32_t> oid, uint8_t service, const Bytes& subrecords,
                   uint16_t pid, uint16_t rn) {
  RecordFields fields;
  fields.RN = rn;
  fields.RFL = oid ? 0x01 : 0x00;
  fields.OID = oid.value_or(0);
  fields.SST = service;
  fields.RST = service;
  return PacketBytes(1, RecordBytes(fields, subrecords), pid);
}

PacketHolder Parsed(const Bytes& packet) {
  PacketHolder holder;
  TransportHeader header;
  const auto count = static_cast<uint16_t>(packet.size());
  if (ValidateTransportHeader(packet.data(), count, header) < 128) {
    ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  }
  return holder;
}

}  // namespace testing_support
