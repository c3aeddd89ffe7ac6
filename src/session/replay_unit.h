#pragma once
// The terminal side of one captured connection played again against a
// platform, as a pure unit. The captured packets go out in their order with
// PIDs and RNs of the unit's own (from 0), so the platform sees a sound
// conversation; the terminal's own confirmations of the captured platform
// (RESPONSE packets, records of RECORD_RESPONSEs only) are left out, for
// the unit confirms what the live platform sends instead. Record times (TM)
// and POS_DATA's NTM are kept, or shifted by the time from the capture to
// now.
//
// Pacing: as captured (each packet at its offset from the capture's first
// packet, divided by `factor`: 2 plays twice as fast), or as fast as
// confirmed (the next packet once the one before is confirmed). After a
// packet with TERM_IDENTITY nothing more goes out until RESULT_CODE (0 goes
// on, anything else ends the unit). Resends, bounds and the end are those of
// the simulated unit: TL_RESPONSE_TO 5 s, three resends, at most 8 packets
// awaiting confirmation; the unit ends once everything is sent and
// confirmed.

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "session/conversation_unit.h"
#include "session/unit_stats.h"

namespace session {

struct ReplayPacket {
  std::vector<uint8_t> bytes;
  Millis at = 0;            // from the capture's first packet
  int64_t captureUnix = 0;  // the capture record's time, seconds
};

struct ReplayOptions {
  bool confirmedPacing = false;
  double factor = 1;        // speed of captured pacing
  bool shiftTimes = false;  // record times moved to now
};

// A packet with its PID and its records' RNs taken from the counters, the
// terminal's confirmations left out, times moved by `shift` seconds;
// empty when nothing is left to send. `records` gets the new RNs.
std::vector<uint8_t> RenumberedPacket(const std::vector<uint8_t>& captured, uint16_t& pid,
                                      uint16_t& rn, int64_t shift, std::vector<uint16_t>& records,
                                      bool& authorization);

class ReplayUnit final : public ConversationUnit {
 public:
  static constexpr std::size_t kMaxOutstanding = 8;
  static constexpr Millis kResponseTimeout = 5000;
  static constexpr int kResendAttempts = 3;

  ReplayUnit(std::shared_ptr<const std::vector<ReplayPacket>> packets, uint32_t tid,
             const ReplayOptions& options, UnitStats& stats);

  void Connected(const UnitTime& now, UnitOutput& out) override;
  void Received(std::span<const uint8_t> packet, const UnitTime& now, UnitOutput& out) override;
  void Tick(const UnitTime& now, UnitOutput& out) override;
  void Closed(bool byPlatform) override;
  Millis NextWake() const override;
  bool Ended() const override { return ended_; }
  uint32_t Tid() const override { return tid_; }

 private:
  struct Outstanding {
    uint16_t pid;
    std::vector<uint8_t> bytes;
    std::vector<uint16_t> records;
    Millis firstSent;
    Millis lastSent;
    int resends = 0;
    bool responded = false;
  };

  void SendDue(const UnitTime& now, UnitOutput& out);
  Millis DueAt(std::size_t index) const;
  void End(const char* why, UnitOutput& out);

  std::shared_ptr<const std::vector<ReplayPacket>> packets_;
  uint32_t tid_;
  ReplayOptions options_;
  UnitStats& stats_;
  std::size_t next_ = 0;
  uint16_t pid_ = 0;
  uint16_t rn_ = 0;
  Millis startedAt_ = 0;
  Millis resultDeadline_ = -1;  // a RESULT_CODE is awaited until then
  bool ended_ = false;
  bool connected_ = false;
  std::deque<Outstanding> outstanding_;
  PidHistory platformPids_;
};

}  // namespace session
