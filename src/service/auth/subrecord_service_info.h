#pragma once
// EGTS_SR_SERVICE_INFO (SRT 8, AUTH service): the state of one service.
// SRD layout, 3 bytes:
//   0  u8  ST    service type
//   1  u8  SST   service state: 0 in service, 128 out of service,
//                129 denied, 130 not configured, 131 temporarily unavailable
//   2  u8  SRVP  bit 7 SRVA (0 supported, 1 requested), bits 6-2 reserved,
//                bits 1-0 SRVRP (priority)

#include <cstdint>
#include <memory>

#include "service/declared_subrecord.h"

namespace EGTS {

class Subrecord_SERVICE_INFO : public DeclaredWith<5> {
 public:
  Subrecord_SERVICE_INFO();

  std::unique_ptr<Subrecord_Class> Clone() const override;
};

// The name of a service state; null for a value not in the table.
const char* ServiceStateName(uint8_t sst);

}  // namespace EGTS
