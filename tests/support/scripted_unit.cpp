#include "support/scripted_unit.h"

#include "service/auth/subrecord_auth_result_code.h"
#include "service/commands/subrecord_command_data.h"
#include "service/firmware/subrecord_service_part_data.h"
#include "service/record_parser.h"
#include "support/packet_builder.h"
#include "transport/result_codes.h"
#include "transport/transport_header.h"

namespace testing_support {

namespace {

constexpr uint16_t kUnitId = 0x0404;
constexpr uint16_t kTrackData = 0x0115;
constexpr uint16_t kAccelData = 0x0114;
constexpr uint16_t kMsdRequest = 0x0113;

Bytes Text(const std::string& text, std::size_t width) {
  Bytes bytes(width, '0');
  const std::size_t at = width > text.size() ? width - text.size() : 0;
  std::copy(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(text.size(), width)),
            bytes.begin() + static_cast<std::ptrdiff_t>(at));
  return bytes;
}

// The EN 15722:2011 example MSD (v1, VIN WM9VDSVDSYA123456).
const Bytes kMsd = {0x01, 0x5C, 0x06, 0x81, 0xD5, 0x49, 0x70, 0xD6, 0x5C, 0x35, 0x97, 0xCA,
                    0x04, 0x20, 0xC4, 0x14, 0x64, 0x58, 0x3A, 0xDE, 0x68, 0xAC, 0x52, 0xE9,
                    0xBB, 0x84, 0x13, 0xF1, 0x49, 0xC0, 0x74, 0x14, 0xFB, 0x41, 0x4F, 0x60,
                    0x10, 0x18, 0x08, 0x13, 0xE8, 0x21, 0x81, 0x82, 0x32, 0x30};

Bytes Confirmation(uint32_t cid, uint8_t cct, uint16_t ccd, const Bytes& dt) {
  Bytes srd{static_cast<uint8_t>(0x10 | cct)};
  PutU32(srd, cid);
  PutU32(srd, 0);
  srd.push_back(0);
  if (!dt.empty()) {
    PutU16(srd, 0);
    PutU16(srd, ccd);
    srd.insert(srd.end(), dt.begin(), dt.end());
  }
  return SubrecordBytes(51, srd);
}

}  // namespace

ScriptedUnit::ScriptedUnit(uint16_t port, UnitScript script)
    : script_(std::move(script)), terminal_(port) {
  thread_ = std::thread([this] { Serve(); });
}

ScriptedUnit::~ScriptedUnit() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

std::vector<uint16_t> ScriptedUnit::PartsSeen() const { return parts_; }

void ScriptedUnit::SendRecord(uint8_t service, const Bytes& subrecords) {
  ++rn_;
  terminal_.Send(PacketBytes(1, RecordBytes({.RN = rn_, .SST = service, .RST = service}, subrecords), ++pid_));
}

void ScriptedUnit::Identify() {
  Bytes identity;
  PutU32(identity, script_.tid);
  identity.push_back(0x86);  // MNE, IMSIE, IMEIE
  const Bytes imei = Text(script_.imei, 15);
  const Bytes imsi = Text(script_.imsi, 16);
  const Bytes msisdn = Text(script_.msisdn, 15);
  identity.insert(identity.end(), imei.begin(), imei.end());
  identity.insert(identity.end(), imsi.begin(), imsi.end());
  identity.insert(identity.end(), msisdn.begin(), msisdn.end());
  Bytes vehicle(script_.vin.begin(), script_.vin.end());
  PutU32(vehicle, script_.vht);
  PutU32(vehicle, script_.vpst);
  SendRecord(1, Concat({SubrecordBytes(1, identity), SubrecordBytes(3, vehicle)}));
}

void ScriptedUnit::Serve() {
  if (!terminal_.Connected()) return;
  Identify();
  while (!stop_) {
    const Bytes packet = terminal_.ReadPacket(std::chrono::milliseconds(200));
    if (packet.size() < 11) {
      if (!packet.empty() || !terminal_.Connected()) return;
      continue;
    }
    Answer(packet);
  }
}

void ScriptedUnit::Answer(const Bytes& packet) {
  TransportHeader header;
  const auto count = static_cast<uint16_t>(packet.size());
  if (EGTS::IsError(ValidateTransportHeader(packet.data(), count, header))) return;
  PacketHolder holder;
  ParseFrameData(packet.data(), count, header, holder, EGTS::SubrecordSet::kStandard);
  if (!holder.packet || header.PT != 1) return;
  Bytes confirmation;
  PutU16(confirmation, header.PID);
  confirmation.push_back(0);
  std::vector<Bytes> answers;
  bool reauthorize = false;
  for (const EGTS::Record& record : holder.packet->records) {
    uint8_t rst = 0;
    bool confirm = true;
    for (const EGTS::Subrecord_Entry& entry : record.subrecords) {
      if (const auto* part = dynamic_cast<const EGTS::Subrecord_SERVICE_PART_DATA*>(entry.object.get())) {
        parts_.push_back(part->PN());
        const bool last = part->PN() == part->EPQ();
        rst = last ? (script_.refuseLastPart ? 138 : 0) : 1;
        confirm = part->PN() != script_.unansweredPart;
      } else if (const auto* command = dynamic_cast<const EGTS::Subrecord_COMMAND_DATA*>(entry.object.get())) {
        if (command->CD().size() < 5) continue;
        const uint8_t act = command->CD()[2] & 0x0F;
        const uint16_t ccd = static_cast<uint16_t>(command->CD()[3] | command->CD()[4] << 8);
        const Bytes dt(command->CD().begin() + 5, command->CD().end());
        if (act == 2) {
          if (!script_.forgetSets) script_.parameters[ccd] = dt;
          answers.push_back(Confirmation(command->CID(), 0, ccd, {}));
          if (ccd == kUnitId && dt.size() == 4 && !script_.keepTidAfterUnitId) {
            script_.tid = static_cast<uint32_t>(dt[0] | dt[1] << 8 | dt[2] << 16 | dt[3] << 24);
          }
        } else if (act == 1 && ccd != kTrackData && ccd != kAccelData) {
          const auto found = script_.parameters.find(ccd);
          answers.push_back(found == script_.parameters.end()
                                ? Confirmation(command->CID(), 4, ccd, {})
                                : Confirmation(command->CID(), 0, ccd, found->second));
        } else {
          answers.push_back(Confirmation(command->CID(), 0, ccd, {}));
          if (ccd == kTrackData) {
            Bytes track{static_cast<uint8_t>(script_.trackPoints), 0, 0, 0, 0};
            for (uint16_t i = 0; i < script_.trackPoints; ++i) track.push_back(0x09);  // TNDE 0
            answers.push_back(SubrecordBytes(62, track));
          } else if (ccd == kAccelData) {
            for (uint16_t left = script_.accelSamples; left > 0;) {
              const uint16_t n = std::min<uint16_t>(left, 250);
              Bytes accel{static_cast<uint8_t>(n), 0, 0, 0, 0};
              accel.resize(5 + 8u * n, 0);
              answers.push_back(SubrecordBytes(20, accel));
              left = static_cast<uint16_t>(left - n);
            }
          } else if (ccd == kMsdRequest) {
            Bytes msd{1};
            msd.insert(msd.end(), kMsd.begin(), kMsd.end());
            answers.push_back(SubrecordBytes(40, msd));
          }
        }
      } else if (const auto* result = dynamic_cast<const EGTS::Subrecord_AUTH_RESULT_CODE*>(entry.object.get())) {
        reauthorize = result->RCD() == 153;  // EGTS_PC_ID_NFOUND: again, with the new TID
      }
    }
    if (confirm) {
      Bytes rr;
      PutU16(rr, record.RN);
      rr.push_back(rst);
      Bytes out = RecordBytes({.RN = ++rn_, .SST = record.RST, .RST = record.SST}, SubrecordBytes(0, rr));
      confirmation.insert(confirmation.end(), out.begin(), out.end());
    }
  }
  ReleasePacket(holder);
  if (confirmation.size() > 3) terminal_.Send(PacketBytes(0, confirmation, ++pid_));
  for (const Bytes& answer : answers) {
    const uint8_t service = answer[0] == 51 ? 4 : 10;
    SendRecord(service, answer);
  }
  if (reauthorize) Identify();
}

}  // namespace testing_support
