#pragma once
// Packet types and the frame-data envelope.
//
// Frame data (FDL bytes at offset HL) by packet type, followed by SFRCS
// (Crc16 of the frame data, 2 bytes) when FDL is not 0:
//   0 EGTS_PT_RESPONSE        RPID(2) PR(1) records
//   1 EGTS_PT_APPDATA         records
//   2 EGTS_PT_SIGNED_APPDATA  SIGL(2, at most 512) SIGD(SIGL) records

#include <cstdint>
#include <memory>
#include <vector>

#include "service/record.h"

namespace EGTS {

enum PacketType : uint8_t {
  EGTS_PT_RESPONSE = 0,
  EGTS_PT_APPDATA = 1,
  EGTS_PT_SIGNED_APPDATA = 2,
};

constexpr uint16_t kMaxSignatureLength = 512;

class Packet {
 public:
  std::vector<Record> records;
  // A record's length left the record area in a state that cannot be
  // walked; the reports say so in one line.
  bool malformedRecordArea = false;
  // The record area ended inside a record header or a record, or a
  // record's data inside a subrecord header or a subrecord: the parse
  // stopped where the bytes ran out.
  bool recordAreaCutShort = false;

  virtual ~Packet() = default;
  // Frame-data bytes that encoding the packet will produce (no SFRCS).
  // Stores each record's RL on the way; sums beyond 65535 wrap.
  virtual uint16_t FrameDataLength();
};

class Packet_Response : public Packet {
 public:
  uint16_t RPID = 0;
  uint8_t PR = 0;
  uint16_t FrameDataLength() override;
};

class Packet_Appdata : public Packet {};

class Packet_Signed_Appdata : public Packet {
 public:
  uint16_t SIGL = 0;
  std::vector<uint8_t> SIGD;
  uint16_t FrameDataLength() override;
};

}  // namespace EGTS

// Owner of at most one packet object and its packet type.
struct PacketHolder {
  int16_t type = -1;  // -1: no packet type held
  std::unique_ptr<EGTS::Packet> packet;
  uint16_t SFRCS = 0;
};

// Replaces the held packet with a new, empty one of the given type; false
// (and type -1) for an unknown type or when memory cannot be had.
bool CreatePacket(PacketHolder& holder, uint16_t type);

// Destroys the held packet, if any.
void ReleasePacket(PacketHolder& holder);

// Whether the held packet's record area is malformed in either way above:
// JSON's "malformed" and the -x report say so.
bool RecordAreaMalformed(const PacketHolder& holder);
