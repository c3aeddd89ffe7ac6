#pragma once
// The reports of what simulated units send and receive, as every source's
// packets are reported: the dump and the transport check (text), the
// service layer with -v / -x, one "packet" object with -j (source "unit"
// for the unit's own packets, "platform" for the platform's, with the
// member "unit": the unit's TID).

#include <cstdint>
#include <span>

#include "console/report_options.h"

void ReportUnitPacket(uint32_t tid, bool sent, std::span<const uint8_t> bytes,
                      const ReportOptions& report);
