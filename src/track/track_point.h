#pragma once
// One position a unit reported, whatever carried it: the common form every
// position takes before the track layer checks, sums and writes it.

#include <cstdint>
#include <optional>
#include <string>

// The subrecord a position came from.
enum class PositionKind : uint8_t {
  POS_DATA,        // EGTS_SR_POS_DATA (with its record's EXT_POS_DATA)
  TRACK_DATA,      // a point of EGTS_SR_TRACK_DATA
  ECALL_MSD_DATA,  // the MSD of EGTS_SR_ECALL_MSD_DATA
  RAW_MSD_DATA,    // the MSD of EGTS_SR_RAW_MSD_DATA, decoded elsewhere
};

// "EGTS_SR_POS_DATA", "EGTS_SR_TRACK_DATA", "EGTS_SR_ECALL_MSD_DATA",
// "EGTS_SR_RAW_MSD_DATA".
const char* PositionKindName(PositionKind kind);

struct TrackPoint {
  // The unit the position belongs to: "OID <n>", "TID <n>" or the caller's
  // source label (UnitKeyOf in position_extraction.h).
  std::string unit;
  // Navigation time in milliseconds since 1970-01-01 00:00:00 UTC; absent
  // where the source gives none (an MSD's recent positions, a time of 0).
  std::optional<int64_t> timeMs;
  // Decimal degrees, WGS-84; south and west negative.
  double latitude = 0;
  double longitude = 0;
  std::optional<double> speedKmh;
  std::optional<double> headingDeg;  // clockwise from north, as reported
  std::optional<double> altitudeM;
  // The unit says the fix is valid (POS_DATA VLD, a TRACK_DATA point with
  // data, an MSD position that "can be trusted").
  bool valid = true;
  std::optional<uint8_t> fixDimensions;  // 2 or 3 (POS_DATA FIX)
  std::optional<uint8_t> sourceEvent;    // POS_DATA SRC
  std::optional<uint8_t> satellites;     // EXT_POS_DATA SAT
  std::optional<double> hdop;            // EXT_POS_DATA, as dilutions (HDOP / 100)
  std::optional<double> vdop;
  std::optional<double> pdop;
  std::optional<uint16_t> PID;  // the packet's
  std::optional<uint16_t> RN;   // the record's
  PositionKind kind = PositionKind::POS_DATA;
  // An MSD's recent positions: 1 for n-1, 2 for n-2; 0 for every other.
  uint8_t recent = 0;
};
