#pragma once
// The positions a parsed packet carries, as track points: POS_DATA (with
// the satellites and dilutions of its record's EXT_POS_DATA), every
// TRACK_DATA point with data, and the position and recent positions of an
// ECALL_MSD_DATA and of a RAW_MSD_DATA whose MSD was decoded. Subrecords
// are read from their decoded objects: a packet parsed without the standard's subrecords (EGTS::SubrecordSet::kOriginal)
// has no POS_DATA objects, so its POS_DATA positions are not found.
// Entries whose result is not 0 are skipped.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "service/packet.h"
#include "service/record.h"
#include "track/track_point.h"

// Where a packet came from, as the caller knows it.
struct PacketOrigin {
  uint16_t PID = 0;  // the transport header's
  // The TID the connection authorized with (TERM_IDENTITY), when it did.
  std::optional<uint32_t> TID;
  // The unit of records without OID on a connection without TID: the
  // caller's label for the source ("10.0.0.2:40522", a file name, ...).
  std::string label;
};

// "OID <n>" for a record with OID, else "TID <n>", else the label.
std::string UnitKeyOf(const EGTS::Record& record, const PacketOrigin& origin);

// Every position of every record, in the order the packet holds them; an
// MSD's recent positions come before its position (n-2, n-1, then n).
std::vector<TrackPoint> PositionsOf(const PacketHolder& holder, const PacketOrigin& origin);
