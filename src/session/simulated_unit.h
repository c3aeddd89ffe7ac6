#pragma once
// One simulated unit's side of a conversation with a platform, as a pure
// unit: the caller hands it the connection's opening, each whole packet the
// platform sent and the time; it answers with the packets to send, its
// findings, and whether to close. No sockets, threads or clock of its own.
//
// The unit authorizes (TERM_IDENTITY, VEHICLE_DATA where its profile says
// so, then waits for RESULT_CODE: 0 goes on, anything else ends it, but
// for a unit at TID 0 given its identifier by the platform, which on
// ID_NFOUND authorizes again on the same connection with it), sends
// its positions at its period, confirms every packet of the platform
// (RESPONSE with a RECORD_RESPONSE per record), answers commands (read and
// set of its parameters, TEST_MODE, ACCEL_DATA, TRACK_DATA, ECALL_REQ and
// ECALL_MSD_REQ) and takes uploads (SERVICE_PART_DATA / SERVICE_FULL_DATA,
// checked against WOS). A packet the platform does not confirm within
// TL_RESPONSE_TO is sent again, at most TL_RESEND_ATTEMPTS times; then the
// unit closes.
//
// Memory is bounded: at most kMaxOutstanding packets of positions await
// confirmation (a position falling due past that is skipped and counted),
// answers to commands add at most kMaxAnswers more; recent points for
// TRACK_DATA are computed again from the route, not kept; an upload keeps
// only its running check sum.

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "compose/unit_packets.h"
#include "service/packet.h"
#include "session/confirmation_tracker.h"
#include "session/conversation_unit.h"
#include "session/unit_profile.h"
#include "session/unit_stats.h"

namespace EGTS {
class Subrecord_COMMAND_DATA;
class Subrecord_SERVICE_PART_DATA;
class Subrecord_SERVICE_FULL_DATA;
}  // namespace EGTS

namespace session {

class SimulatedUnit final : public ConversationUnit {
 public:
  static constexpr std::size_t kMaxOutstanding = 8;
  static constexpr std::size_t kMaxAnswers = 8;
  static constexpr Millis kResponseTimeout = 5000;  // TL_RESPONSE_TO
  static constexpr int kResendAttempts = 3;         // TL_RESEND_ATTEMPTS
  static constexpr uint32_t kTrackPoints = 300;     // points sent on TRACK_DATA
  static constexpr std::size_t kItemsPerRecord = 255;

  // `profile` is shared by a fleet; unit `index` derives its identity and
  // route from it (DeriveUnit).
  SimulatedUnit(std::shared_ptr<const UnitProfile> profile, uint32_t index, UnitStats& stats);

  void Connected(const UnitTime& now, UnitOutput& out) override;
  void Received(std::span<const uint8_t> packet, const UnitTime& now, UnitOutput& out) override;
  void Tick(const UnitTime& now, UnitOutput& out) override;
  void Closed(bool byPlatform) override;
  Millis NextWake() const override;
  bool Ended() const override { return state_ == State::kEnded; }
  uint32_t Tid() const override { return tid_; }
  bool Authorized() const { return authorized_; }
  // A parameter's value as the unit holds it now; null for an unknown code.
  const EGTS::ParameterValue* Parameter(uint16_t code) const;

 private:
  enum class State { kIdle, kAuthorizing, kRunning, kDraining, kEnded };
  struct Outstanding {
    uint16_t pid;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> records;  // RNs not yet confirmed
    Millis firstSent;
    Millis lastSent;
    int resends = 0;
    bool responded = false;
    bool answer = false;  // an answer to the platform, not a position
  };
  struct Upload {
    uint16_t id = 0;
    uint16_t nextPn = 0;
    uint16_t lastPn = 0;
    uint16_t wos = 0;
    uint16_t crc = 0xFFFF;
    bool active = false;
  };

  void Send(std::vector<uint8_t> bytes, std::vector<uint16_t> records, bool answer,
            const UnitTime& now, UnitOutput& out);
  uint16_t NextPid() { return pid_++; }
  uint16_t NextRn() { return rn_++; }
  void SendPositions(const UnitTime& now, UnitOutput& out);
  void Resend(const UnitTime& now, UnitOutput& out);
  void Confirm(uint16_t pid, uint8_t parsed, const PacketHolder& holder,
               const std::vector<int>& statuses, UnitOutput& out);
  void TakeResponse(uint16_t rpid, uint8_t pr, UnitOutput& out);
  void TakeRecordResponse(uint16_t crn, uint8_t rst, const UnitTime& now, UnitOutput& out);
  void TakeResult(uint8_t rcd, const UnitTime& now, UnitOutput& out);
  bool TakeAssignedId(const UnitTime& now, UnitOutput& out);
  void SendIdentity(const UnitTime& now, UnitOutput& out);
  void AnswerCommand(const EGTS::Subrecord_COMMAND_DATA& command, const UnitTime& now,
                     UnitOutput& out);
  uint8_t TakePart(const EGTS::Subrecord_SERVICE_PART_DATA& part, UnitOutput& out);
  uint8_t TakeFull(const EGTS::Subrecord_SERVICE_FULL_DATA& full, UnitOutput& out);
  void SendTrack(const UnitTime& now, UnitOutput& out);
  void SendAccel(const UnitTime& now, UnitOutput& out);
  void SendMsd(bool automatic, const UnitTime& now, UnitOutput& out);
  void End(const char* why, UnitOutput& out);
  void LoseOutstanding();
  std::string Name() const;
  compose::UnitPosition PositionAt(uint64_t step) const;

  std::shared_ptr<const UnitProfile> profile_;
  UnitStats& stats_;
  uint32_t index_;
  uint32_t tid_;
  State state_ = State::kIdle;
  bool authorized_ = false;
  bool testMode_ = false;
  uint16_t pid_ = 0;
  uint16_t rn_ = 0;
  Millis connectedAt_ = 0;
  Millis resultDeadline_ = -1;
  Millis nextPosition_ = -1;
  int64_t routeStartUnix_ = 0;
  uint64_t steps_ = 0;
  uint8_t msdId_ = 0;
  std::deque<Outstanding> outstanding_;
  std::vector<std::pair<uint16_t, EGTS::ParameterValue>> changed_;  // parameters set
  Upload upload_;
  PidHistory platformPids_;
};

}  // namespace session
