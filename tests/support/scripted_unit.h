#pragma once
// A scripted emergency-call unit for the conformance tests: it connects,
// authorizes, confirms what the platform sends and answers its commands,
// and misbehaves in one chosen way so that each failure of a run can be
// seen. Runs on a thread of its own until the platform closes or Stop.

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/terminal.h"

namespace testing_support {

struct UnitScript {
  uint32_t tid = 1001;
  std::string imei = "861715033983983";
  std::string imsi = "250770000000001";
  std::string msisdn = "79000000001";
  std::string vin = "XTA21099012345678";
  uint32_t vht = 1;
  uint32_t vpst = 1;
  uint16_t trackPoints = 71;
  uint16_t accelSamples = 600;
  std::map<uint16_t, std::vector<uint8_t>> parameters;  // code -> DT
  // Misbehaviour.
  bool keepTidAfterUnitId = false;  // authorizes again with its old TID
  uint16_t unansweredPart = 0;      // never confirms this part number
  bool refuseLastPart = false;      // answers the last part with 138
  bool forgetSets = false;          // confirms a SET and keeps the old value
};

class ScriptedUnit {
 public:
  ScriptedUnit(uint16_t port, UnitScript script);
  ~ScriptedUnit();
  // Parts of uploads the unit was sent, in order.
  std::vector<uint16_t> PartsSeen() const;

 private:
  void Serve();
  void Answer(const std::vector<uint8_t>& packet);
  void SendRecord(uint8_t service, const std::vector<uint8_t>& subrecords);
  void Identify();

  UnitScript script_;
  Terminal terminal_;
  std::atomic<bool> stop_{false};
  uint16_t pid_ = 0;
  uint16_t rn_ = 0;
  std::vector<uint16_t> parts_;
  std::thread thread_;
};

}  // namespace testing_support
