#pragma once
// What a unit's packets say that a conformance step looks at: identities,
// vehicle data, track points and acceleration samples, raw MSDs, answers
// to commands, and the unit's confirmations of the platform's packets
// (by packet id and by record number). Collected from parsed packets;
// every list is bounded.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "service/packet.h"
#include "transport/transport_header.h"

namespace session {

struct UnitIdentity {
  uint32_t tid = 0;
  std::string imei;
  std::string imsi;
  std::string msisdn;
  uint16_t bs = 0;  // 0: not announced
};

struct UnitVehicle {
  std::string vin;
  uint32_t vht = 0;
  uint32_t vpst = 0;
};

struct CommandAnswer {
  uint8_t cct = 0;
  uint16_t ccd = 0;
  std::vector<uint8_t> dt;
};

struct UnitFacts {
  static constexpr std::size_t kMostKept = 1024;

  std::deque<UnitIdentity> identities;
  std::deque<UnitVehicle> vehicles;
  uint32_t trackPoints = 0;
  uint32_t trackRecords = 0;
  uint32_t accelSamples = 0;
  uint32_t accelRecords = 0;
  std::deque<std::vector<uint8_t>> msds;
  std::map<uint32_t, CommandAnswer> answers;  // by CID, the last answer
  std::map<uint16_t, uint8_t> packetResults;  // RPID -> PR
  std::map<uint16_t, uint8_t> recordResults;  // CRN -> RST

  // Takes what one packet of the unit says.
  void Take(const TransportHeader& header, const PacketHolder& holder);
  // Forgets the data a run looked at (kept: identities, vehicle data,
  // confirmations and answers, which may come before the run starts).
  void ClearData();
};

}  // namespace session
