#pragma once
// Writes a packet held in memory as the bytes of an EGTS packet, in one
// pass: lengths known only after encoding (HL, FDL, RL, SRL) are written as
// placeholders and patched with what was actually written.

#include <cstdint>

#include "service/packet.h"
#include "transport/bytestream.h"
#include "transport/transport_header.h"

// Resets `out` and writes the whole packet. The header's FDL must be
// non-zero for frame data to be written; it is replaced by the real count,
// and HL by 11 or 16 according to RTE. Returns 0 when `out` holds a usable
// packet; otherwise 128, 133, 139 (also for content whose length does not
// fit 16 bits), 156, or 1 when a record header would end beyond 65533.
uint8_t SerializePacket(EGTS::bytestream& out, TransportHeader& header, PacketHolder& holder);

// Appends the frame data by packet type; `count` receives its byte count.
uint8_t SerializeFrameData(EGTS::bytestream& out, const TransportHeader& header,
                           PacketHolder& holder, uint16_t& count);

// Appends one record starting at `offset`; `count` receives its byte count.
uint8_t SerializeRecord(EGTS::bytestream& out, uint32_t offset, EGTS::Record& record,
                        uint16_t& count);
