#pragma once
// EGTS_SR_SERVICE_INFO (SRT 8, AUTH service): the state of one service.
// SRD layout, 3 bytes:
//   0  u8  ST    service type
//   1  u8  SST   service state: 0 in service, 128 out of service,
//                129 denied, 130 not configured, 131 temporarily unavailable
//   2  u8  SRVP  bit 7 SRVA (0 supported, 1 requested), bits 6-2 reserved,
//                bits 1-0 SRVRP (priority)

#include <cstdint>
#include <string>

#include "service/subrecord_class.h"

namespace EGTS {

class Subrecord_SERVICE_INFO : public Subrecord_Class {
 public:
  uint8_t ST = 0;
  uint8_t SST = 0;
  uint8_t SRVP = 0;

  uint8_t Decode(const uint8_t* srd, uint16_t srl) override;
  void Report(std::string* target) const override;
  void Describe(FieldList& fields) const override;
  std::unique_ptr<Subrecord_Class> Clone() const override;

  bool SRVA() const { return SRVP & 0x80; }
  unsigned SRVRP() const { return SRVP & 0x03; }
};

// The name of a service state; null for a value not in the table.
const char* ServiceStateName(uint8_t sst);

}  // namespace EGTS
