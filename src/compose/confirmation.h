#pragma once
// The platform's confirmation of a packet received from a terminal: an
// EGTS_PT_RESPONSE packet (HL 11, flags 0) with
//   RPID the received PID, PR the result of parsing its frame data,
// and, when that result is 0, one record per received record (per record
// that `confirmed` picks, when given):
//   RN from the connection's counter, RFL 0, SST = the received RST,
//   RST = the received SST, one EGTS_SR_RECORD_RESPONSE subrecord with
//   CRN = the received RN and the record status: the record's own result,
//   else the result of its first failing subrecord, else 0.

#include <cstdint>

#include "service/packet.h"
#include "transport/bytestream.h"
#include "transport/transport_header.h"

// Per connection: the PID of the next confirmation and the RN of its next
// record, both starting at 1.
struct ConfirmationCounters {
  uint16_t packetId = 1;
  uint16_t recordNumber = 1;
};

// Whether a packet gets a confirmation: its header is sound and it is not
// itself a confirmation.
bool NeedsConfirmation(uint8_t headerCode, const TransportHeader& header);

// The record status reported for one received record.
uint8_t RecordStatus(const EGTS::Record& record);

// Which received records get a record in the confirmation; null: all.
using ConfirmedRecords = bool (*)(const EGTS::Record& record);

// Composes and serialises the confirmation of the packet whose header is
// `received`, whose frame data parsed with `parseResult` into `parsed`.
// Returns the serializer's result; 0 means `out` holds the packet.
uint8_t ComposeConfirmation(const TransportHeader& received, uint8_t parseResult,
                            const PacketHolder& parsed, ConfirmationCounters& counters,
                            EGTS::bytestream& out, ConfirmedRecords confirmed = nullptr);
