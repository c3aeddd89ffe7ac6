#pragma once
// The parse of a received packet's frame data into service records.

#include <cstdint>
#include <span>

#include "service/packet.h"
#include "service/subrecord_factory.h"
#include "transport/transport_header.h"

// Checks the frame data of a packet whose header has been validated: its
// length, its check sum SFRCS, the packet-type fields; then parses every
// record. Returns 0, 133, 138 or 139; record and subrecord failures are
// stored in the records and entries, never in this result. Reads no byte at
// or beyond `count`.
//
// With the standard's subrecords (-x) a subrecord that is unknown or fails
// to decode does not end the parse: the next one begins where its SRL says.
// The parse stops only where a length leaves the rest unreadable.
//
// originalView (with the standard's subrecords only): also gives, in the
// same walk, the parse the original set makes of the packet, for a report
// without -x where the caller reads the standard's subrecords. Its entries
// are made from the standard's (see CreateOriginalEntry); the result is
// the same for both.
uint8_t ParseFrameData(const uint8_t* packet, uint16_t count, const TransportHeader& header,
                       PacketHolder& holder,
                       EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal,
                       PacketHolder* originalView = nullptr);

// Parses one record from `available` bytes. The result is also stored in
// the record. view: as originalView above, the record of the original set.
uint8_t ParseRecord(const uint8_t* bytes, uint16_t available, EGTS::Record& record,
                    EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal,
                    EGTS::Record* view = nullptr);

// A packet read whole: its transport header checked and, when the header
// is sound, its frame data parsed.
struct PacketRead {
  uint8_t headerResult = 0;
  TransportHeader header;
  bool parsed = false;
  uint8_t frameResult = 0;
  PacketHolder holder;
};

// Of a longer run of bytes the first 65535 are read.
PacketRead ReadPacket(std::span<const uint8_t> bytes,
                      EGTS::SubrecordSet set = EGTS::SubrecordSet::kOriginal);
