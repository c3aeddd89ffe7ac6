#include "session/simulated_unit.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <variant>

#include "compose/confirmation.h"
#include "service/commands/subrecord_command_data.h"
#include "service/commands/unit_parameters.h"
#include "service/ecall/msd_encoder.h"
#include "service/firmware/subrecord_service_full_data.h"
#include "service/firmware/subrecord_service_part_data.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/common/subrecord_record_response.h"
#include "service/record_parser.h"
#include "service/subrecord_types.h"
#include "session/peer_confirmation.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"
#include "util/text.h"
#include "util/utc_time.h"

namespace session {

namespace {

using compose::PacketWriter;
using compose::UnitPosition;

constexpr uint8_t kSrTermIdentity = 1;
constexpr uint8_t kSrVehicleData = 3;
constexpr uint8_t kSrAuthParams = 6;
constexpr uint8_t kSrPosData = 16;
constexpr uint8_t kSrExtPosData = 17;
constexpr uint8_t kSrStateData = 21;
constexpr uint8_t kSrServicePartData = 33;
constexpr uint8_t kSrServiceFullData = 34;
constexpr uint8_t kStateActive = 2;
constexpr uint8_t kStateTesting = 5;
constexpr uint8_t kActCommand = 0;
constexpr uint8_t kActRead = 1;
constexpr uint8_t kActSet = 2;
constexpr uint16_t kUnitIdParameter = 0x0404;  // EGTS_UNIT_ID
constexpr uint16_t kAccelData = 0x0114;
constexpr uint16_t kTrackData = 0x0115;
constexpr double kEarthMetresPerDegree = 111320.0;

// CRC-16/CCITT (poly 0x1021, no reflection) carried on part by part: the
// transport's Crc16 takes one buffer, an upload comes in parts and is not
// kept.
uint16_t CrcUpdate(uint16_t crc, const std::string& bytes) {
  for (const char c : bytes) {
    crc = static_cast<uint16_t>(crc ^ (static_cast<uint8_t>(c) << 8));
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

uint32_t EgtsTime(int64_t unixSeconds) {
  return static_cast<uint32_t>(std::max<int64_t>(unixSeconds - kEgtsEpochOffset, 0));
}

// The COMMAND_DATA command form's CD: ADR u16, SZ/ACT, CCD u16, DT.
struct CommandBody {
  uint16_t adr = 0;
  uint8_t act = 0;
  uint16_t ccd = 0;
  std::span<const uint8_t> dt;
};

std::optional<CommandBody> BodyOf(const EGTS::Subrecord_COMMAND_DATA& command) {
  const std::span<const uint8_t> cd = command.CD();
  if (cd.size() < 5) return std::nullopt;
  CommandBody body;
  body.adr = static_cast<uint16_t>(cd[0] | (cd[1] << 8));
  body.act = cd[2] & 0x0F;
  body.ccd = static_cast<uint16_t>(cd[3] | (cd[4] << 8));
  body.dt = std::span<const uint8_t>(cd).subspan(5);
  return body;
}

}  // namespace

SimulatedUnit::SimulatedUnit(std::shared_ptr<const UnitProfile> profile, uint32_t index,
                             UnitStats& stats)
    : profile_(std::move(profile)), stats_(stats), index_(index), tid_(profile_->tid + index) {}

std::string SimulatedUnit::Name() const { return StringPrintf("Unit %u", tid_); }

const EGTS::ParameterValue* SimulatedUnit::Parameter(uint16_t code) const {
  for (const auto& [changed, value] : changed_) {
    if (changed == code) return &value;
  }
  for (const auto& [parameter, value] : profile_->parameters) {
    if (parameter->code != code) continue;
    if (index_ == 0) return &value;
    // The identity's parameters of a fleet's unit follow its own identity.
    if (code == 0x0404 || code == 0x0405) {
      auto& self = const_cast<SimulatedUnit&>(*this);
      self.changed_.emplace_back(code, code == 0x0404
                                           ? EGTS::ParameterValue(static_cast<int32_t>(tid_))
                                           : EGTS::ParameterValue(PlusDigits(profile_->imei, index_)));
      return &self.changed_.back().second;
    }
    return &value;
  }
  return nullptr;
}

void SimulatedUnit::Send(std::vector<uint8_t> bytes, std::vector<uint16_t> records, bool answer,
                         const UnitTime& now, UnitOutput& out) {
  const uint16_t pid = static_cast<uint16_t>(bytes[7] | (bytes[8] << 8));
  stats_.recordsSent += answer ? 0 : records.size();
  ++stats_.packetsSent;
  out.packets.push_back(bytes);
  outstanding_.push_back(
      {pid, std::move(bytes), std::move(records), now.steady, now.steady, 0, false, answer});
}

void SimulatedUnit::Connected(const UnitTime& now, UnitOutput& out) {
  ++stats_.connected;
  state_ = State::kAuthorizing;
  connectedAt_ = now.steady;
  SendIdentity(now, out);
}

void SimulatedUnit::SendIdentity(const UnitTime& now, UnitOutput& out) {
  // Past the last resend of the identity, so that an unconfirmed one ends
  // the unit by the resend rule.
  resultDeadline_ = now.steady + kResponseTimeout * (kResendAttempts + 2);
  const UnitProfile& p = *profile_;
  const uint16_t rn = NextRn();
  PacketWriter identity(NextPid());
  identity.BeginRecord(rn, EGTS::EGTS_AUTH_SERVICE);
  identity.Subrecord(kSrTermIdentity,
                     compose::TermIdentitySrd(tid_, PlusDigits(p.imei, index_),
                                              PlusDigits(p.imsi, index_), p.bs,
                                              PlusDigits(p.msisdn, index_)));
  identity.EndRecord();
  Send(identity.Finish(), {rn}, true, now, out);
  if (!p.vehicleData) return;
  const uint16_t vehicleRn = NextRn();
  PacketWriter vehicle(NextPid());
  vehicle.BeginRecord(vehicleRn, EGTS::EGTS_AUTH_SERVICE);
  vehicle.Subrecord(kSrVehicleData, compose::VehicleDataSrd(p.vin, p.vehicleType, p.propulsion));
  vehicle.EndRecord();
  Send(vehicle.Finish(), {vehicleRn}, true, now, out);
}

UnitPosition SimulatedUnit::PositionAt(uint64_t step) const {
  const UnitProfile& p = *profile_;
  const double stepS = p.periodS / p.recordsPerPacket;
  UnitPosition at;
  at.time = EgtsTime(routeStartUnix_ + static_cast<int64_t>(std::floor(stepS * step)));
  if (!p.generatedRoute) {
    const RoutePoint point = ShiftedPoint(p.points[step % p.points.size()], index_);
    at.lat = point.lat;
    at.lon = point.lon;
    at.speedKmh = point.speedKmh;
    at.heading = point.heading;
    return at;
  }
  const RoutePoint start = ShiftedPoint(p.start, index_);
  const double metres = start.speedKmh / 3.6 * stepS * static_cast<double>(step);
  const double radians = start.heading * std::numbers::pi / 180.0;
  at.lat = std::clamp(start.lat + metres * std::cos(radians) / kEarthMetresPerDegree, -89.9, 89.9);
  const double lonScale = kEarthMetresPerDegree * std::max(std::cos(at.lat * std::numbers::pi / 180.0), 0.01);
  at.lon = std::remainder(start.lon + metres * std::sin(radians) / lonScale, 360.0);
  at.speedKmh = start.speedKmh;
  at.heading = start.heading;
  return at;
}

void SimulatedUnit::SendPositions(const UnitTime& now, UnitOutput& out) {
  const UnitProfile& p = *profile_;
  std::size_t positionsAwaited = 0;
  for (const Outstanding& o : outstanding_) positionsAwaited += o.answer ? 0 : 1;
  if (positionsAwaited >= kMaxOutstanding) {
    stats_.positionsSkipped += p.recordsPerPacket;
    return;
  }
  PacketWriter packet(NextPid());
  std::vector<uint16_t> records;
  const std::vector<uint8_t> ext = p.extPos ? compose::ExtPosDataSrd() : std::vector<uint8_t>{};
  const std::vector<uint8_t> state =
      p.state ? compose::StateDataSrd(testMode_ ? kStateTesting : kStateActive)
              : std::vector<uint8_t>{};
  for (unsigned i = 0; i < p.recordsPerPacket; ++i) {
    if (p.positions != 0 && steps_ >= p.positions) break;
    const UnitPosition position = PositionAt(steps_++);
    const uint16_t rn = NextRn();
    records.push_back(rn);
    packet.BeginRecord(rn, EGTS::EGTS_TELEDATA_SERVICE, tid_);
    packet.Subrecord(kSrPosData, compose::PosDataSrd(position));
    if (p.extPos) packet.Subrecord(kSrExtPosData, ext);
    if (p.state) packet.Subrecord(kSrStateData, state);
    packet.EndRecord();
  }
  if (!records.empty()) Send(packet.Finish(), std::move(records), false, now, out);
}

void SimulatedUnit::Tick(const UnitTime& now, UnitOutput& out) {
  if (state_ == State::kEnded || state_ == State::kIdle) return;
  Resend(now, out);
  if (state_ == State::kEnded) return;
  if (state_ == State::kAuthorizing && now.steady >= resultDeadline_) {
    End("no RESULT_CODE from the platform", out);
    return;
  }
  const UnitProfile& p = *profile_;
  while (state_ == State::kRunning && nextPosition_ >= 0 && now.steady >= nextPosition_) {
    SendPositions(now, out);
    nextPosition_ += std::max<Millis>(1, std::llround(p.periodS * 1000));
    if (p.positions != 0 && steps_ >= p.positions) state_ = State::kDraining;
  }
  if (state_ == State::kDraining && outstanding_.empty()) {
    out.findings.push_back(StringPrintf("INFO: %s: all %u positions sent and confirmed\n",
                                        Name().c_str(), p.positions));
    state_ = State::kEnded;
    out.close = true;
  }
}

void SimulatedUnit::Resend(const UnitTime& now, UnitOutput& out) {
  for (auto it = outstanding_.begin(); it != outstanding_.end();) {
    if (now.steady - it->lastSent < kResponseTimeout) {
      ++it;
      continue;
    }
    if (it->responded) {
      // The packet was taken but some records never confirmed.
      stats_.lost += it->answer ? 0 : it->records.size();
      out.findings.push_back(StringPrintf(
          "WARNING: %s: %zu records of packet PID %u not confirmed within %lld ms\n",
          Name().c_str(), it->records.size(), unsigned{it->pid},
          static_cast<long long>(kResponseTimeout)));
      it = outstanding_.erase(it);
      continue;
    }
    if (it->resends >= kResendAttempts) {
      out.findings.push_back(StringPrintf(
          "WARNING: %s: packet PID %u not confirmed after %d resends; the connection is closed\n",
          Name().c_str(), unsigned{it->pid}, kResendAttempts));
      End(nullptr, out);
      return;
    }
    ++it->resends;
    ++stats_.resends;
    ++stats_.packetsSent;
    it->lastSent = now.steady;
    out.packets.push_back(it->bytes);
    ++it;
  }
}

void SimulatedUnit::LoseOutstanding() {
  for (const Outstanding& o : outstanding_) stats_.lost += o.answer ? 0 : o.records.size();
  outstanding_.clear();
}

void SimulatedUnit::End(const char* why, UnitOutput& out) {
  if (why != nullptr) out.findings.push_back(StringPrintf("WARNING: %s: %s\n", Name().c_str(), why));
  LoseOutstanding();
  state_ = State::kEnded;
  out.close = true;
}

void SimulatedUnit::Closed(bool byPlatform) {
  if (state_ == State::kEnded) return;
  if (byPlatform) ++stats_.closedByPlatform;
  LoseOutstanding();
  state_ = State::kEnded;
}

Millis SimulatedUnit::NextWake() const {
  if (state_ == State::kEnded || state_ == State::kIdle) return -1;
  Millis wake = -1;
  auto earliest = [&wake](Millis at) { wake = wake < 0 ? at : std::min(wake, at); };
  for (const Outstanding& o : outstanding_) earliest(o.lastSent + kResponseTimeout);
  if (state_ == State::kAuthorizing) earliest(resultDeadline_);
  if (state_ == State::kRunning && nextPosition_ >= 0) earliest(nextPosition_);
  if (state_ == State::kDraining && outstanding_.empty()) earliest(0);
  return wake;
}

void SimulatedUnit::TakeResponse(uint16_t rpid, uint8_t pr, UnitOutput& out) {
  for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
    if (it->pid != rpid || it->responded) continue;
    if (pr != 0) {
      // Sent again at its deadline, as a packet not confirmed.
      out.findings.push_back(StringPrintf("WARNING: %s: the platform answered PID %u with %u (%s)\n",
                                          Name().c_str(), unsigned{rpid}, unsigned{pr},
                                          ResultCodeText(pr)));
      return;
    }
    it->responded = true;
    if (it->records.empty()) outstanding_.erase(it);
    return;
  }
}

void SimulatedUnit::TakeRecordResponse(uint16_t crn, uint8_t rst, const UnitTime& now,
                                       UnitOutput& out) {
  for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
    auto record = std::find(it->records.begin(), it->records.end(), crn);
    if (record == it->records.end()) continue;
    it->records.erase(record);
    if (!it->answer) {
      if (rst == 0) {
        ++stats_.recordsConfirmed;
        stats_.latencyMs.Add(now.steady - it->firstSent);
      } else {
        ++stats_.lost;
      }
    }
    if (rst != 0) {
      out.findings.push_back(StringPrintf("WARNING: %s: the platform refused record RN %u with %u (%s)\n",
                                          Name().c_str(), unsigned{crn}, unsigned{rst},
                                          ResultCodeText(rst)));
    }
    // A record confirmed stands for its packet's confirmation too.
    if (it->records.empty()) outstanding_.erase(it);
    return;
  }
}

void SimulatedUnit::TakeResult(uint8_t rcd, const UnitTime& now, UnitOutput& out) {
  if (state_ != State::kAuthorizing) return;
  if (rcd == EGTS::EGTS_PC_ID_NFOUND && TakeAssignedId(now, out)) return;
  if (rcd != 0) {
    ++stats_.refused;
    out.findings.push_back(StringPrintf("WARNING: %s: authorization refused with %u (%s)\n",
                                        Name().c_str(), unsigned{rcd}, ResultCodeText(rcd)));
    End(nullptr, out);
    return;
  }
  ++stats_.authorized;
  stats_.authMs.Add(now.steady - connectedAt_);
  stats_.lastAuthorizedAt = std::max(stats_.lastAuthorizedAt, now.steady);
  authorized_ = true;
  state_ = State::kRunning;
  routeStartUnix_ = now.unixSeconds;
  nextPosition_ = now.steady;
}

// A unit that came without an identifier (TID 0) is given one by the
// platform (EGTS_UNIT_ID set on this connection), which then answers
// ID_NFOUND and keeps the connection: the unit authorizes again on it with
// the identifier it was given.
bool SimulatedUnit::TakeAssignedId(const UnitTime& now, UnitOutput& out) {
  if (tid_ != 0) return false;
  const auto assigned = std::find_if(changed_.begin(), changed_.end(),
                                     [](const auto& e) { return e.first == kUnitIdParameter; });
  const int32_t* id = assigned != changed_.end() ? std::get_if<int32_t>(&assigned->second) : nullptr;
  if (id == nullptr || *id <= 0) return false;
  const uint32_t old = tid_;
  tid_ = static_cast<uint32_t>(*id);
  out.findings.push_back(StringPrintf(
      "INFO: Unit %u: identifier not found (153); authorizing again as unit %u\n", old, tid_));
  SendIdentity(now, out);
  return true;
}

void SimulatedUnit::Confirm(uint16_t pid, uint8_t parsed, const PacketHolder& holder,
                            const std::vector<int>& statuses, UnitOutput& out) {
  PacketWriter response(NextPid(), pid, parsed);
  if (parsed == 0 && holder.packet) {
    const auto& records = holder.packet->records;
    for (std::size_t i = 0; i < records.size(); ++i) {
      if (!RecordWantsResponse(records[i])) continue;
      const uint8_t status =
          statuses[i] >= 0 ? static_cast<uint8_t>(statuses[i]) : RecordStatus(records[i]);
      response.BeginRecord(NextRn(), records[i].SST);
      response.Subrecord(EGTS::EGTS_SR_RECORD_RESPONSE,
                         compose::RecordResponseSrd(records[i].RN, status));
      response.EndRecord();
    }
  }
  ++stats_.packetsSent;
  out.packets.push_back(response.Finish());
}

void SimulatedUnit::Received(std::span<const uint8_t> packet, const UnitTime& now,
                             UnitOutput& out) {
  if (state_ == State::kEnded) return;
  ++stats_.packetsReceived;
  PlatformPacket read;
  if (!ReadPlatformPacket(packet, read)) return;
  const auto& [header, holder, parsed, application] = read;
  // A packet sent again is confirmed again, not taken again.
  const bool repeated = application && platformPids_.Repeated(header.PID);
  if (!holder.packet) {
    if (application) Confirm(header.PID, parsed, holder, {}, out);
    return;
  }
  if (!application) {
    const auto& response = static_cast<const EGTS::Packet_Response&>(*holder.packet);
    TakeResponse(response.RPID, response.PR, out);
  }
  const auto& records = holder.packet->records;
  std::vector<int> statuses(records.size(), -1);
  for (std::size_t i = 0; i < records.size() && !repeated; ++i) {
    for (const EGTS::Subrecord_Entry& entry : records[i].subrecords) {
      if (!entry.object || entry.result != 0) continue;
      if (entry.SRT == EGTS::EGTS_SR_RECORD_RESPONSE) {
        const auto& answer = static_cast<const EGTS::Subrecord_RECORD_RESPONSE&>(*entry.object);
        TakeRecordResponse(answer.CRN(), answer.RST(), now, out);
      } else if (records[i].SST == EGTS::EGTS_FIRMWARE_SERVICE && entry.SRT == kSrServicePartData) {
        statuses[i] = TakePart(static_cast<const EGTS::Subrecord_SERVICE_PART_DATA&>(*entry.object), out);
      } else if (records[i].SST == EGTS::EGTS_FIRMWARE_SERVICE && entry.SRT == kSrServiceFullData) {
        statuses[i] = TakeFull(static_cast<const EGTS::Subrecord_SERVICE_FULL_DATA&>(*entry.object), out);
      }
    }
  }
  if (application) Confirm(header.PID, parsed, holder, statuses, out);
  for (std::size_t i = 0; i < records.size() && !repeated; ++i) {
    for (const EGTS::Subrecord_Entry& entry : records[i].subrecords) {
      if (!entry.object || entry.result != 0 || state_ == State::kEnded) continue;
      if (records[i].SST == EGTS::EGTS_AUTH_SERVICE && entry.SRT == EGTS::EGTS_SR_AUTH_RESULT_CODE) {
        TakeResult(static_cast<const EGTS::Subrecord_AUTH_RESULT_CODE&>(*entry.object).RCD(), now, out);
      } else if (records[i].SST == EGTS::EGTS_AUTH_SERVICE && entry.SRT == kSrAuthParams) {
        out.findings.push_back(StringPrintf(
            "WARNING: %s: the platform asks for extended authorization (AUTH_PARAMS), which the unit does not do\n",
            Name().c_str()));
      } else if (records[i].SST == EGTS::EGTS_COMMANDS_SERVICE &&
                 entry.SRT == EGTS::EGTS_SR_COMMAND_DATA) {
        const auto& command = static_cast<const EGTS::Subrecord_COMMAND_DATA&>(*entry.object);
        if (command.CT() == EGTS::EGTS_CT_COM) AnswerCommand(command, now, out);
      }
    }
  }
}

void SimulatedUnit::AnswerCommand(const EGTS::Subrecord_COMMAND_DATA& command, const UnitTime& now,
                                  UnitOutput& out) {
  std::size_t answers = 0;
  for (const Outstanding& o : outstanding_) answers += o.answer ? 1 : 0;
  if (answers >= kMaxAnswers) {
    out.findings.push_back(StringPrintf(
        "WARNING: %s: command CID %u not answered: %zu answers await confirmation\n",
        Name().c_str(), command.CID(), answers));
    return;
  }
  const std::optional<CommandBody> body = BodyOf(command);
  uint8_t cct = EGTS::EGTS_CC_OK;
  std::vector<uint8_t> value;
  bool withValue = false;
  enum class Then { kNothing, kTrack, kAccel, kMsd, kEcall } then = Then::kNothing;
  const EGTS::UnitParameter* parameter = body ? EGTS::FindParameter(body->ccd) : nullptr;
  if (!body) {
    cct = EGTS::EGTS_CC_ERROR;
  } else if (body->ccd == EGTS::EGTS_TEST_MODE && (body->act == kActCommand || body->act == kActSet)) {
    if (body->dt.size() == 1 && body->dt[0] <= 1) {
      testMode_ = body->dt[0] == 1;
    } else {
      cct = EGTS::EGTS_CC_ERROR;
    }
  } else if (body->ccd == kTrackData && body->act <= kActRead) {
    then = Then::kTrack;
  } else if (body->ccd == kAccelData && body->act <= kActRead) {
    if (profile_->accel.empty()) cct = EGTS::EGTS_CC_NFOUND;
    then = profile_->accel.empty() ? Then::kNothing : Then::kAccel;
  } else if (body->ccd == EGTS::EGTS_MSD_REQ && body->act == kActCommand) {
    then = Then::kMsd;
  } else if (body->ccd == EGTS::EGTS_ECALL_REQ && body->act == kActCommand) {
    then = Then::kEcall;
  } else if (parameter == nullptr) {
    cct = EGTS::EGTS_CC_NFOUND;
  } else if (body->act == kActRead) {
    value = EGTS::EncodeValue(*Parameter(parameter->code));
    withValue = true;
  } else if (body->act == kActSet) {
    const std::optional<EGTS::ParameterValue> decoded = EGTS::DecodeValue(*parameter, body->dt);
    if (parameter->readOnly) {
      cct = EGTS::EGTS_CC_ILL;
    } else if (!decoded || !EGTS::CheckValue(*parameter, *decoded).empty()) {
      cct = EGTS::EGTS_CC_ERROR;
    } else {
      Parameter(parameter->code);  // a fleet unit's identity entry first
      auto found = std::find_if(changed_.begin(), changed_.end(),
                                [&](const auto& e) { return e.first == parameter->code; });
      if (found == changed_.end()) {
        changed_.emplace_back(parameter->code, *decoded);
      } else {
        found->second = *decoded;
      }
    }
  } else {
    cct = parameter->readOnly ? EGTS::EGTS_CC_ILL : EGTS::EGTS_CC_OK;
  }
  ++stats_.commandsAnswered;
  const uint16_t rn = NextRn();
  PacketWriter answer(NextPid());
  answer.BeginRecord(rn, EGTS::EGTS_COMMANDS_SERVICE);
  answer.Subrecord(EGTS::EGTS_SR_COMMAND_DATA,
                   compose::CommandConfirmationSrd(command.CID(), command.SID(), cct,
                                                   body ? body->adr : 0, body ? body->ccd : 0,
                                                   withValue ? &value : nullptr));
  answer.EndRecord();
  Send(answer.Finish(), {rn}, true, now, out);
  switch (then) {
    case Then::kTrack: SendTrack(now, out); break;
    case Then::kAccel: SendAccel(now, out); break;
    case Then::kMsd: SendMsd(false, now, out); break;
    case Then::kEcall: SendMsd(body->dt.size() == 1 && body->dt[0] == 1, now, out); break;
    case Then::kNothing: break;
  }
}

void SimulatedUnit::SendTrack(const UnitTime& now, UnitOutput& out) {
  const uint64_t first = steps_ > kTrackPoints ? steps_ - kTrackPoints : 0;
  std::vector<UnitPosition> points;
  for (uint64_t step = first; step < std::max<uint64_t>(steps_, 1); ++step) {
    points.push_back(PositionAt(step));
  }
  PacketWriter packet(NextPid());
  std::vector<uint16_t> records;
  for (std::size_t at = 0; at < points.size(); at += kItemsPerRecord) {
    const std::size_t n = std::min(kItemsPerRecord, points.size() - at);
    const uint16_t rn = NextRn();
    records.push_back(rn);
    packet.BeginRecord(rn, EGTS::EGTS_ECALL_SERVICE, tid_);
    packet.Subrecord(EGTS::EGTS_SR_TRACK_DATA,
                     compose::TrackDataSrd(points[at].time, std::span(points).subspan(at, n)));
    packet.EndRecord();
  }
  Send(packet.Finish(), std::move(records), true, now, out);
}

void SimulatedUnit::SendAccel(const UnitTime& now, UnitOutput& out) {
  std::vector<compose::AccelValue> samples;
  for (const AccelSample& s : profile_->accel) samples.push_back({s.rtmMs, s.x, s.y, s.z});
  PacketWriter packet(NextPid());
  std::vector<uint16_t> records;
  for (std::size_t at = 0; at < samples.size(); at += kItemsPerRecord) {
    const std::size_t n = std::min(kItemsPerRecord, samples.size() - at);
    const uint16_t rn = NextRn();
    records.push_back(rn);
    packet.BeginRecord(rn, EGTS::EGTS_ECALL_SERVICE, tid_);
    packet.Subrecord(EGTS::EGTS_SR_ACCEL_DATA,
                     compose::AccelDataSrd(EgtsTime(now.unixSeconds), std::span(samples).subspan(at, n)));
    packet.EndRecord();
  }
  Send(packet.Finish(), std::move(records), true, now, out);
}

void SimulatedUnit::SendMsd(bool automatic, const UnitTime& now, UnitOutput& out) {
  const UnitProfile& p = *profile_;
  const UnitPosition at = PositionAt(steps_ > 0 ? steps_ - 1 : 0);
  EGTS::Msd::ECallMessage message;
  EGTS::Msd::MSDStructure& m = message.msdStructure;
  m.messageIdentifier = ++msdId_;
  m.automaticActivation = automatic;
  m.testCall = testMode_;
  m.positionCanBeTrusted = true;
  m.vehicleType = static_cast<uint8_t>(p.vehicleType);
  m.vehicleIdentificationNumber = p.vin;
  for (std::size_t kind = 0; kind < 6; ++kind) {
    m.vehiclePropulsionStorageType[kind] = ((p.propulsion >> kind) & 1) != 0;
  }
  m.timestamp = static_cast<uint32_t>(now.unixSeconds);
  m.positionLatitude = static_cast<int32_t>(std::lround(at.lat * 3600000.0));
  m.positionLongitude = static_cast<int32_t>(std::lround(at.lon * 3600000.0));
  m.vehicleDirection = static_cast<uint8_t>(std::lround(at.heading) % 360 / 2);
  const EGTS::Msd::MsdEncoding encoded = EGTS::Msd::EncodeMsd(message);
  if (!encoded.error.empty()) {
    out.findings.push_back(StringPrintf("WARNING: %s: no MSD: %s\n", Name().c_str(),
                                        encoded.error.c_str()));
    return;
  }
  const uint16_t rn = NextRn();
  PacketWriter packet(NextPid());
  packet.BeginRecord(rn, EGTS::EGTS_ECALL_SERVICE, tid_);
  packet.Subrecord(EGTS::EGTS_SR_ECALL_RAW_MSD_DATA, compose::RawMsdDataSrd(encoded.octets));
  packet.EndRecord();
  Send(packet.Finish(), {rn}, true, now, out);
}

// Parts come in order; PN counts from 1 (or from 0, as one lab sends it).
uint8_t SimulatedUnit::TakePart(const EGTS::Subrecord_SERVICE_PART_DATA& part, UnitOutput& out) {
  const bool first = part.HasHeader();
  if (first) {
    upload_ = {part.ID(), part.PN(),
               static_cast<uint16_t>(part.PN() == 0 ? part.EPQ() - 1 : part.EPQ()), part.WOS(),
               0xFFFF, true};
  }
  if (!upload_.active || part.ID() != upload_.id || part.PN() != upload_.nextPn ||
      part.EPQ() == 0 || part.PN() > upload_.lastPn) {
    out.findings.push_back(StringPrintf(
        "WARNING: %s: upload part ID %u PN %u of %u out of order\n", Name().c_str(),
        unsigned{part.ID()}, unsigned{part.PN()}, unsigned{part.EPQ()}));
    upload_.active = false;
    return EGTS::EGTS_PC_INC_DATAFORM;
  }
  upload_.crc = CrcUpdate(upload_.crc, part.OD());
  ++upload_.nextPn;
  if (part.PN() != upload_.lastPn) return EGTS::EGTS_PC_IN_PROGRESS;
  upload_.active = false;
  if (upload_.crc == upload_.wos) {
    out.findings.push_back(StringPrintf("INFO: %s: upload ID %u taken (WOS %.4X)\n",
                                        Name().c_str(), unsigned{part.ID()}, unsigned{upload_.wos}));
    return EGTS::EGTS_PC_OK;
  }
  out.findings.push_back(StringPrintf(
      "WARNING: %s: upload ID %u refused: its CRC-16 is %.4X, WOS says %.4X\n", Name().c_str(),
      unsigned{part.ID()}, unsigned{upload_.crc}, unsigned{upload_.wos}));
  return EGTS::EGTS_PC_DATACRC_ERROR;
}

uint8_t SimulatedUnit::TakeFull(const EGTS::Subrecord_SERVICE_FULL_DATA& full, UnitOutput& out) {
  const uint16_t crc = CrcUpdate(0xFFFF, full.OD());
  if (crc == full.WOS()) {
    out.findings.push_back(StringPrintf("INFO: %s: upload taken (WOS %.4X)\n", Name().c_str(),
                                        unsigned{crc}));
    return EGTS::EGTS_PC_OK;
  }
  out.findings.push_back(StringPrintf(
      "WARNING: %s: upload refused: its CRC-16 is %.4X, WOS says %.4X\n", Name().c_str(),
      unsigned{crc}, unsigned{full.WOS()}));
  return EGTS::EGTS_PC_DATACRC_ERROR;
}

}  // namespace session
