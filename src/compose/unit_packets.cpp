#include "compose/unit_packets.h"

#include <algorithm>
#include <cmath>

#include "transport/checksum.h"

namespace compose {

namespace {

constexpr uint8_t kHeaderLength = 11;

void Put16(std::vector<uint8_t>& out, uint32_t value) {
  out.push_back(static_cast<uint8_t>(value));
  out.push_back(static_cast<uint8_t>(value >> 8));
}

void Put24(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value);
  out.push_back(static_cast<uint8_t>(value >> 16));
}

void Put32(std::vector<uint8_t>& out, uint32_t value) {
  Put16(out, value);
  Put16(out, value >> 16);
}

void Patch16(std::vector<uint8_t>& out, std::size_t at, std::size_t value) {
  out[at] = static_cast<uint8_t>(value);
  out[at + 1] = static_cast<uint8_t>(value >> 8);
}

// A text in a fixed field: cut to `size`, padded in front with `pad`.
void PutFixed(std::vector<uint8_t>& out, const std::string& text, std::size_t size, char pad) {
  const std::string cut = text.substr(0, size);
  out.insert(out.end(), size - cut.size(), static_cast<uint8_t>(pad));
  out.insert(out.end(), cut.begin(), cut.end());
}

uint32_t Coordinate(double degrees, double whole) {
  return static_cast<uint32_t>(std::min(std::fabs(degrees) / whole * 4294967295.0, 4294967295.0));
}

uint16_t SignMagnitude(double metresPerSecond2) {
  const auto tenths = static_cast<uint32_t>(std::min(std::lround(std::fabs(metresPerSecond2) * 10), 0x7FFFL));
  return static_cast<uint16_t>(tenths | (metresPerSecond2 < 0 ? 0x8000u : 0u));
}

}  // namespace

PacketWriter::PacketWriter(uint16_t pid) {
  bytes_ = {1, 0, 0, kHeaderLength, 0, 0, 0, 0, 0, 1, 0};
  Patch16(bytes_, 7, pid);
}

PacketWriter::PacketWriter(uint16_t pid, uint16_t rpid, uint8_t pr) : PacketWriter(pid) {
  bytes_[9] = 0;
  Put16(bytes_, rpid);
  bytes_.push_back(pr);
}

void PacketWriter::BeginRecord(uint16_t rn, uint8_t service, uint32_t oid, uint32_t tm) {
  recordAt_ = bytes_.size();
  Put16(bytes_, 0);
  Put16(bytes_, rn);
  bytes_.push_back(static_cast<uint8_t>((oid != 0 ? 0x01 : 0) | (tm != 0 ? 0x04 : 0)));
  if (oid != 0) Put32(bytes_, oid);
  if (tm != 0) Put32(bytes_, tm);
  bytes_.push_back(service);
  bytes_.push_back(service);
}

void PacketWriter::Subrecord(uint8_t srt, std::span<const uint8_t> srd) {
  bytes_.push_back(srt);
  Put16(bytes_, static_cast<uint32_t>(srd.size()));
  bytes_.insert(bytes_.end(), srd.begin(), srd.end());
}

void PacketWriter::EndRecord() {
  const std::size_t headerEnd = recordAt_ + 5 + (bytes_[recordAt_ + 4] & 0x01 ? 4 : 0) +
                                (bytes_[recordAt_ + 4] & 0x04 ? 4 : 0) + 2;
  Patch16(bytes_, recordAt_, bytes_.size() - headerEnd);
}

std::vector<uint8_t> PacketWriter::Finish() {
  const std::size_t fdl = bytes_.size() - kHeaderLength;
  Patch16(bytes_, 5, fdl);
  bytes_[10] = Crc8(bytes_.data(), kHeaderLength - 1);
  if (fdl > 0) {
    Put16(bytes_, Crc16(bytes_.data() + kHeaderLength, static_cast<uint16_t>(fdl)));
  }
  return std::move(bytes_);
}

std::vector<uint8_t> TermIdentitySrd(uint32_t tid, const std::string& imei,
                                     const std::string& imsi, uint16_t bs,
                                     const std::string& msisdn) {
  std::vector<uint8_t> srd;
  Put32(srd, tid);
  uint8_t flg = 0x10 | 0x02;  // SSRA, IMEIE
  if (!imsi.empty()) flg |= 0x04;
  if (bs != 0) flg |= 0x40;
  if (!msisdn.empty()) flg |= 0x80;
  srd.push_back(flg);
  PutFixed(srd, imei, 15, '0');
  if (!imsi.empty()) PutFixed(srd, imsi, 16, '0');
  if (bs != 0) Put16(srd, bs);
  if (!msisdn.empty()) PutFixed(srd, msisdn, 15, '0');
  return srd;
}

std::vector<uint8_t> VehicleDataSrd(const std::string& vin, uint32_t vht, uint32_t vpst) {
  std::vector<uint8_t> srd;
  PutFixed(srd, vin, 17, '0');
  Put32(srd, vht);
  Put32(srd, vpst);
  return srd;
}

std::vector<uint8_t> PosDataSrd(const UnitPosition& p) {
  std::vector<uint8_t> srd;
  Put32(srd, p.time);
  Put32(srd, Coordinate(p.lat, 90));
  Put32(srd, Coordinate(p.lon, 180));
  const bool moving = p.speedKmh > 0;
  srd.push_back(static_cast<uint8_t>((p.lon < 0 ? 0x40 : 0) | (p.lat < 0 ? 0x20 : 0) |
                                     (moving ? 0x10 : 0) | 0x02 | 0x01));
  const auto heading = static_cast<uint32_t>(std::lround(p.heading)) % 360;
  const auto speed = static_cast<uint32_t>(std::min(std::lround(p.speedKmh * 10), 0x3FFFL));
  Put16(srd, speed | ((heading >> 8) << 15));
  srd.push_back(static_cast<uint8_t>(heading));
  Put24(srd, 0);     // ODM
  srd.push_back(0);  // DIN
  srd.push_back(0);  // SRC: timer, ignition on
  return srd;
}

std::vector<uint8_t> ExtPosDataSrd() {
  std::vector<uint8_t> srd{0x1A};  // NSFE, SFE, HFE
  Put16(srd, 90);
  srd.push_back(12);
  Put16(srd, 0x03);
  return srd;
}

std::vector<uint8_t> StateDataSrd(uint8_t st) { return {st, 126, 41, 39, 0x04}; }

std::vector<uint8_t> RecordResponseSrd(uint16_t crn, uint8_t rst) {
  std::vector<uint8_t> srd;
  Put16(srd, crn);
  srd.push_back(rst);
  return srd;
}

std::vector<uint8_t> CommandConfirmationSrd(uint32_t cid, uint32_t sid, uint8_t cct, uint16_t adr,
                                            uint16_t ccd, const std::vector<uint8_t>* data) {
  std::vector<uint8_t> srd;
  srd.push_back(static_cast<uint8_t>(0x10 | (cct & 0x0F)));  // CT_COMCONF
  Put32(srd, cid);
  Put32(srd, sid);
  srd.push_back(0);
  if (data != nullptr) {
    Put16(srd, adr);
    Put16(srd, ccd);
    srd.insert(srd.end(), data->begin(), data->end());
  }
  return srd;
}

std::vector<uint8_t> AccelDataSrd(uint32_t atm, std::span<const AccelValue> samples) {
  std::vector<uint8_t> srd;
  const std::size_t count = std::min<std::size_t>(samples.size(), 255);
  srd.push_back(static_cast<uint8_t>(count));
  Put32(srd, atm);
  for (std::size_t i = 0; i < count; ++i) {
    Put16(srd, samples[i].rtmMs);
    Put16(srd, SignMagnitude(samples[i].x));
    Put16(srd, SignMagnitude(samples[i].y));
    Put16(srd, SignMagnitude(samples[i].z));
  }
  return srd;
}

std::vector<uint8_t> TrackDataSrd(uint32_t atm, std::span<const UnitPosition> points) {
  std::vector<uint8_t> srd;
  const std::size_t count = std::min<std::size_t>(points.size(), 255);
  srd.push_back(static_cast<uint8_t>(count));
  Put32(srd, atm);
  for (std::size_t i = 0; i < count; ++i) {
    const UnitPosition& p = points[i];
    srd.push_back(static_cast<uint8_t>(0x80 | (p.lon < 0 ? 0x40 : 0) | (p.lat < 0 ? 0x20 : 0) | 9));
    Put32(srd, Coordinate(p.lat, 90));
    Put32(srd, Coordinate(p.lon, 180));
    const auto speed = static_cast<uint32_t>(std::min(std::lround(p.speedKmh * 100), 0x7FFFL));
    const auto heading = static_cast<uint32_t>(std::lround(p.heading)) % 360;
    srd.push_back(static_cast<uint8_t>(speed));
    srd.push_back(static_cast<uint8_t>(((heading >> 8) << 7) | (speed >> 8)));
    srd.push_back(static_cast<uint8_t>(heading));
  }
  return srd;
}

std::vector<uint8_t> RawMsdDataSrd(const std::vector<uint8_t>& msd) {
  std::vector<uint8_t> srd(msd.size() + 1);
  srd[0] = 1;
  std::copy(msd.begin(), msd.end(), srd.begin() + 1);
  return srd;
}

}  // namespace compose
