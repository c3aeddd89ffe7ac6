#pragma once
// The conformance runs as the connections' threads and the ticker share
// them (-t:): one ConformanceRunner behind one lock, fed with the steady
// clock. Every step that ends gives one log line (with -j one "step"
// object instead) and every note of the runs its own line.

#include <memory>
#include <mutex>
#include <vector>

#include "session/conformance_runner.h"
#include "session/run_driver.h"
#include "transport/sms_pdu.h"

class ConformanceHub final : public session::RunDriver {
 public:
  ConformanceHub(std::unique_ptr<session::ConformanceRunner> runner, bool json);

  void Connected(uint32_t client) override;
  void Closed(uint32_t client) override;
  void Received(uint32_t client, const TransportHeader& header, const PacketHolder& holder) override;
  std::vector<std::vector<uint8_t>> Outgoing(uint32_t client, ConfirmationCounters& counters) override;
  bool WantsClose(uint32_t client) override;
  void SmsAnswer(const std::vector<uint8_t>& pdu) override;

  // The runs' timers, from a ticker.
  void Tick();
  bool Done();
  bool Passed();
  std::vector<session::RunReport> Reports();

 private:
  // Writes what the runner has to say; called without the lock held.
  void Flush(std::vector<session::StepResult> ended, std::vector<std::string> notes) const;
  template <typename Call>
  auto Locked(Call call);

  std::mutex lock_;
  std::unique_ptr<session::ConformanceRunner> runner_;  // guarded by lock_
  sms::Assembler sms_;                                  // guarded by lock_
  bool json_;
};

// The log text of a step that ended ("INFO: Run 'track' step 3 'points':
// passed in 1200 ms"), and its JSON object ({"type":"step",...}).
std::string StepLogText(const session::StepResult& step);
std::string StepJsonLine(const session::StepResult& step);
