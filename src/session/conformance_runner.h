#pragma once
// Runs conformance runs against a unit, step by step, as a pure unit: fed
// with the connections that open and close, the packets the unit sends
// and the time; it gives the packets to send on a connection (numbered with
// that connection's counters), the connections to close, and a result for
// every step that ends. No socket, thread or clock of its own: the server's
// client threads and a ticker drive it under one lock.
//
// Parameters of SET and GET are those of the parameter table
// (service/commands/unit_parameters.h): their codes, types and ranges.
//
// Timers: the first TERM_IDENTITY within EGTS_SL_NOT_AUTH_TO (6 s) of the
// connection, the unit's connection within 30 s when a run needs one; what
// the platform sends is confirmed within TL_RESPONSE_TO (5 s) or sent again,
// at most TL_RESEND_ATTEMPTS (3) times. Tolerated, as real units do: parts
// counted from 0 (with "first_part": 0), IN_PROGRESS in the transport result
// of a part's confirmation, confirmations of several commands in one
// record, and a confirmation carried in a RESPONSE packet.

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compose/confirmation.h"
#include "compose/record_packet.h"
#include "service/packet.h"
#include "session/conformance_run.h"
#include "transport/transport_header.h"

namespace session {

// What the lab expects of the unit (the unit profile): "tid", "imei",
// "imsi", "msisdn", "vin", "vehicle_type", "propulsion", "bs" ...; and its
// parameters by name.
struct UnitExpectations {
  std::map<std::string, RunValue> values;
  std::map<std::string, RunValue> parameters;
};

struct StepResult {
  std::string run;
  std::string step;
  std::size_t index = 0;  // from 1 within its run
  bool passed = false;
  bool skipped = false;   // not run: an earlier step ended the run
  std::string reason;     // why it failed, or was skipped
  std::string note;       // e.g. "sent over TCP in place of SMS"
  Millis started = 0;     // from the start of the runs
  Millis ended = 0;
};

struct RunReport {
  std::string name;
  std::string path;
  std::string description;
  bool passed = false;
  Millis started = 0;
  Millis ended = 0;
  std::vector<StepResult> steps;
  std::map<std::string, std::string> identity;    // as the unit sent it
  std::map<std::string, std::string> parameters;  // as read back
};

// The unit's packets put into what the steps look at.
struct UnitFacts;

class ConformanceRunner {
 public:
  // `files` holds the bytes of every upload the runs name, by name. A
  // `start` below 0 starts the runs with the first event.
  ConformanceRunner(std::vector<RunDefinition> runs, UnitExpectations unit,
                    std::map<std::string, std::vector<uint8_t>> files,
                    Millis start);
  ~ConformanceRunner();

  // Checks a capture (-p:): the steps that send are not run (they count
  // neither for nor against a run), the rest take what the capture shows.
  void ExpectOnly() { expectOnly_ = true; }

  void Connected(uint32_t connection, Millis now);
  void Closed(uint32_t connection, Millis now);
  // A packet from the unit, its header sound, its frame data parsed with
  // the standard's subrecords.
  void Received(uint32_t connection, const TransportHeader& header, const PacketHolder& holder,
                Millis now);
  // The timers, and the steps sent as SMS PDUs.
  void Advance(Millis now);
  // The unit's answer by SMS (SMS-DELIVER PDUs typed on the console): the
  // EGTS packet they carried, parsed.
  void SmsReceived(const TransportHeader& header, const PacketHolder& holder, Millis now);
  // The packets to send on `connection` now.
  std::vector<std::vector<uint8_t>> Outgoing(uint32_t connection, ConfirmationCounters& counters,
                                             Millis now);
  // Whether the runs want `connection` closed (a failed step, or all done).
  bool WantsClose(uint32_t connection) const;
  // Whether a TERM_IDENTITY on `connection` is answered by the runs (the
  // server then sends no answer of its own).
  bool AnswersAuthorization() const { return true; }

  // Steps that ended since the last call, in order; lines for the log.
  std::vector<StepResult> TakeEnded();
  std::vector<std::string> TakeNotes();

  bool Done() const { return done_; }
  bool Passed() const;
  Millis NextDeadline() const;
  const std::vector<RunReport>& Reports() const { return reports_; }

 private:
  struct Active;

  void Pump(Millis now);
  void StartRun(Millis now);
  void StartStep(Millis now);
  void Ready(Millis now);
  void Evaluate(Millis now);
  void EvaluateExpect(Millis now);
  std::optional<std::string> ExpectOutcome(const RunStep& step);
  std::string ExpectTimedOut(const RunStep& step) const;
  void EvaluateSend(Millis now);
  void End(bool passed, const std::string& reason, Millis now);
  void SkipRest(const std::string& reason, Millis now);
  void FinishRun(Millis now);
  std::optional<RunValue> Resolve(const RunValue& value) const;
  std::vector<RawSubrecord> Payload(uint8_t& service);
  std::string CheckIdentity(const RunStep& step);
  std::string CheckVehicle(const RunStep& step);
  std::string CheckMsd(const RunStep& step);
  std::string CheckAnswer(const RunStep& step, Millis now, bool& answered);
  void AnswerStrayIdentity();
  void PrintPdus(Active& a);

  std::vector<RunDefinition> runs_;
  UnitExpectations unit_;
  std::map<std::string, std::vector<uint8_t>> files_;
  Millis start_;
  std::vector<RunReport> reports_;
  std::vector<StepResult> ended_;
  std::vector<std::string> notes_;
  std::size_t run_ = 0;
  std::size_t step_ = 0;
  bool runStarted_ = false;
  bool done_ = false;
  std::optional<uint32_t> connection_;  // the unit's live connection
  Millis connectedAt_ = 0;
  bool authorized_ = false;
  bool identified_ = false;
  bool pausedBefore_ = false;
  bool expectOnly_ = false;  // the pause of the step under way is over  // a step took the live connection's TERM_IDENTITY
  ConfirmationCounters smsCounters_;  // numbers of what goes by SMS
  std::vector<uint32_t> toClose_;
  std::unique_ptr<UnitFacts> facts_;
  std::unique_ptr<Active> active_;
  std::map<std::string, RunValue> setValues_;  // parameter -> value set in this run
  uint32_t nextCid_ = 1;
  uint8_t smsReference_ = 0;
  int strayAnswers_ = 0;               // RESULT_CODE 0 owed to the live connection
  uint16_t lastBs_ = 0;                // BS of the last TERM_IDENTITY taken
  uint32_t partSize_ = 0;              // object bytes a part of the upload under way
  uint16_t objectId_ = 0;              // ID of the last object uploaded
  std::vector<uint8_t> pendingValue_;  // DT of the SET under way
};

}  // namespace session
