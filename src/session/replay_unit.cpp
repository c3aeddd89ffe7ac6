#include "session/replay_unit.h"

#include <algorithm>
#include <cmath>

#include "compose/confirmation.h"
#include "compose/unit_packets.h"
#include "service/auth/subrecord_auth_result_code.h"
#include "service/common/subrecord_record_response.h"
#include "service/record_parser.h"
#include "service/subrecord_types.h"
#include "session/peer_confirmation.h"
#include "transport/checksum.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"
#include "util/text.h"

namespace session {

namespace {

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return U16(p) | (static_cast<uint32_t>(U16(p + 2)) << 16); }
void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  Put16(p, v);
  Put16(p + 2, v >> 16);
}
void Shift32(uint8_t* p, int64_t shift) {
  Put32(p, static_cast<uint32_t>(std::clamp<int64_t>(U32(p) + shift, 0, 0xFFFFFFFFLL)));
}

constexpr uint8_t kSrTermIdentity = 1;
constexpr uint8_t kSrPosData = 16;

}  // namespace

std::vector<uint8_t> RenumberedPacket(const std::vector<uint8_t>& captured, uint16_t& pid,
                                      uint16_t& rn, int64_t shift, std::vector<uint16_t>& records,
                                      bool& authorization) {
  records.clear();
  authorization = false;
  if (captured.size() < 11 || captured[9] != EGTS::EGTS_PT_APPDATA) return {};
  const std::size_t hl = captured[3];
  const std::size_t fdl = U16(&captured[5]);
  if (hl < 11 || captured.size() < hl + fdl + 2 || fdl == 0) return {};
  std::vector<uint8_t> out(captured.begin(), captured.begin() + static_cast<std::ptrdiff_t>(hl));
  for (std::size_t at = hl; at + 7 <= hl + fdl;) {
    const uint8_t* r = &captured[at];
    const std::size_t rl = U16(r);
    const uint8_t rfl = r[4];
    const std::size_t header = 7 + ((rfl & 1) ? 4 : 0) + ((rfl & 2) ? 4 : 0) + ((rfl & 4) ? 4 : 0);
    if (at + header + rl > hl + fdl) break;
    const uint8_t service = r[header - 2];
    // The record's subrecords: all RECORD_RESPONSEs makes it a confirmation.
    bool onlyResponses = rl > 0;
    for (std::size_t s = 0; s + 3 <= rl;) {
      const uint8_t srt = r[header + s];
      onlyResponses &= srt == EGTS::EGTS_SR_RECORD_RESPONSE;
      authorization |= service == EGTS::EGTS_AUTH_SERVICE && srt == kSrTermIdentity;
      s += 3 + U16(&r[header + s + 1]);
    }
    if (!onlyResponses) {
      const std::size_t begin = out.size();
      out.insert(out.end(), r, r + header + rl);
      uint8_t* copy = &out[begin];
      Put16(copy + 2, rn);
      records.push_back(rn++);
      if (shift != 0 && (rfl & 4)) Shift32(copy + header - 6, shift);
      if (shift != 0 && service == EGTS::EGTS_TELEDATA_SERVICE) {
        for (std::size_t s = 0; s + 3 <= rl;) {
          const std::size_t srl = U16(&copy[header + s + 1]);
          if (copy[header + s] == kSrPosData && srl >= 4 && s + 3 + srl <= rl) {
            Shift32(&copy[header + s + 3], shift);
          }
          s += 3 + srl;
        }
      }
    }
    at += header + rl;
  }
  if (records.empty()) return {};
  Put16(&out[7], pid++);
  const std::size_t newFdl = out.size() - hl;
  Put16(&out[5], newFdl);
  out[hl - 1] = Crc8(out.data(), static_cast<uint8_t>(hl - 1));
  const uint16_t sfrcs = Crc16(out.data() + hl, static_cast<uint16_t>(newFdl));
  out.push_back(static_cast<uint8_t>(sfrcs));
  out.push_back(static_cast<uint8_t>(sfrcs >> 8));
  return out;
}

ReplayUnit::ReplayUnit(std::shared_ptr<const std::vector<ReplayPacket>> packets, uint32_t tid,
                       const ReplayOptions& options, UnitStats& stats)
    : packets_(std::move(packets)), tid_(tid), options_(options), stats_(stats) {}

void ReplayUnit::Connected(const UnitTime& now, UnitOutput& out) {
  ++stats_.connected;
  connected_ = true;
  startedAt_ = now.steady;
  SendDue(now, out);
}

Millis ReplayUnit::DueAt(std::size_t index) const {
  if (options_.confirmedPacing) return startedAt_;
  return startedAt_ + std::llround(static_cast<double>((*packets_)[index].at) / options_.factor);
}

void ReplayUnit::SendDue(const UnitTime& now, UnitOutput& out) {
  const auto& packets = *packets_;
  while (!ended_ && next_ < packets.size() && resultDeadline_ < 0 &&
         outstanding_.size() < (options_.confirmedPacing ? 1 : kMaxOutstanding) &&
         now.steady >= DueAt(next_)) {
    const ReplayPacket& captured = packets[next_++];
    const int64_t shift = options_.shiftTimes ? now.unixSeconds - captured.captureUnix : 0;
    std::vector<uint16_t> records;
    bool authorization = false;
    std::vector<uint8_t> bytes = RenumberedPacket(captured.bytes, pid_, rn_, shift, records,
                                                  authorization);
    if (bytes.empty()) continue;
    stats_.recordsSent += records.size();
    ++stats_.packetsSent;
    out.packets.push_back(bytes);
    outstanding_.push_back({static_cast<uint16_t>(pid_ - 1), std::move(bytes), std::move(records),
                            now.steady, now.steady});
    if (authorization) resultDeadline_ = now.steady + kResponseTimeout * (kResendAttempts + 1);
  }
  if (!ended_ && next_ >= packets.size() && outstanding_.empty() && resultDeadline_ < 0) {
    out.findings.push_back(StringPrintf("INFO: Unit %u: every packet of the capture sent and confirmed\n", tid_));
    ended_ = true;
    out.close = true;
  }
}

void ReplayUnit::End(const char* why, UnitOutput& out) {
  out.findings.push_back(StringPrintf("WARNING: Unit %u: %s\n", tid_, why));
  for (const Outstanding& o : outstanding_) stats_.lost += o.records.size();
  outstanding_.clear();
  ended_ = true;
  out.close = true;
}

void ReplayUnit::Received(std::span<const uint8_t> packet, const UnitTime& now, UnitOutput& out) {
  if (ended_) return;
  ++stats_.packetsReceived;
  PlatformPacket read;
  if (!ReadPlatformPacket(packet, read)) return;
  const auto& [header, holder, parsed, application] = read;
  const bool repeated = application && platformPids_.Repeated(header.PID);
  if (application) {
    compose::PacketWriter response(pid_++, header.PID, parsed);
    if (parsed == 0 && holder.packet) {
      for (const EGTS::Record& record : holder.packet->records) {
        if (!RecordWantsResponse(record)) continue;
        response.BeginRecord(rn_++, record.SST);
        response.Subrecord(EGTS::EGTS_SR_RECORD_RESPONSE,
                           compose::RecordResponseSrd(record.RN, RecordStatus(record)));
        response.EndRecord();
      }
    }
    ++stats_.packetsSent;
    out.packets.push_back(response.Finish());
  }
  if (!holder.packet || repeated) return;
  if (!application) {
    const auto& r = static_cast<const EGTS::Packet_Response&>(*holder.packet);
    for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
      if (it->pid != r.RPID || r.PR != 0) continue;
      it->responded = true;
      if (it->records.empty()) outstanding_.erase(it);
      break;
    }
  }
  for (const EGTS::Record& record : holder.packet->records) {
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      if (!entry.object || entry.result != 0) continue;
      if (entry.SRT == EGTS::EGTS_SR_RECORD_RESPONSE) {
        const auto& answer = static_cast<const EGTS::Subrecord_RECORD_RESPONSE&>(*entry.object);
        for (auto it = outstanding_.begin(); it != outstanding_.end(); ++it) {
          auto found = std::find(it->records.begin(), it->records.end(), answer.CRN());
          if (found == it->records.end()) continue;
          it->records.erase(found);
          if (answer.RST() == 0) {
            ++stats_.recordsConfirmed;
            stats_.latencyMs.Add(now.steady - it->firstSent);
          } else {
            ++stats_.lost;
          }
          if (it->records.empty()) outstanding_.erase(it);
          break;
        }
      } else if (record.SST == EGTS::EGTS_AUTH_SERVICE && entry.SRT == EGTS::EGTS_SR_AUTH_RESULT_CODE &&
                 resultDeadline_ >= 0) {
        const uint8_t rcd = static_cast<const EGTS::Subrecord_AUTH_RESULT_CODE&>(*entry.object).RCD();
        resultDeadline_ = -1;
        if (rcd != 0) {
          ++stats_.refused;
          End(StringPrintf("authorization refused with %u (%s)", unsigned{rcd}, ResultCodeText(rcd)).c_str(), out);
          return;
        }
        ++stats_.authorized;
        stats_.authMs.Add(now.steady - startedAt_);
        stats_.lastAuthorizedAt = std::max(stats_.lastAuthorizedAt, now.steady);
      }
    }
  }
  SendDue(now, out);
}

void ReplayUnit::Tick(const UnitTime& now, UnitOutput& out) {
  if (ended_ || !connected_) return;
  for (auto it = outstanding_.begin(); it != outstanding_.end();) {
    if (now.steady - it->lastSent < kResponseTimeout) {
      ++it;
      continue;
    }
    if (it->responded) {
      stats_.lost += it->records.size();
      it = outstanding_.erase(it);
      continue;
    }
    if (it->resends >= kResendAttempts) {
      End(StringPrintf("packet PID %u not confirmed after %d resends; the connection is closed",
                       unsigned{it->pid}, kResendAttempts).c_str(), out);
      return;
    }
    ++it->resends;
    ++stats_.resends;
    ++stats_.packetsSent;
    it->lastSent = now.steady;
    out.packets.push_back(it->bytes);
    ++it;
  }
  if (resultDeadline_ >= 0 && now.steady >= resultDeadline_) {
    End("no RESULT_CODE from the platform", out);
    return;
  }
  SendDue(now, out);
}

void ReplayUnit::Closed(bool byPlatform) {
  if (ended_) return;
  if (byPlatform) ++stats_.closedByPlatform;
  for (const Outstanding& o : outstanding_) stats_.lost += o.records.size();
  outstanding_.clear();
  ended_ = true;
}

Millis ReplayUnit::NextWake() const {
  if (ended_ || !connected_) return -1;
  Millis wake = -1;
  auto earliest = [&wake](Millis at) { wake = wake < 0 ? at : std::min(wake, at); };
  for (const Outstanding& o : outstanding_) earliest(o.lastSent + kResponseTimeout);
  if (resultDeadline_ >= 0) earliest(resultDeadline_);
  if (resultDeadline_ < 0 && next_ < packets_->size() && !options_.confirmedPacing &&
      outstanding_.size() < kMaxOutstanding) {
    earliest(DueAt(next_));
  }
  return wake;
}

}  // namespace session
