#pragma once
// Builds EGTS packets byte by byte for tests: records, subrecords and a
// complete packet with both check sums.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<uint8_t>;

// A copy of bytes held elsewhere, to compare.
inline Bytes ToBytes(std::span<const uint8_t> bytes) { return {bytes.begin(), bytes.end()}; }

// SRT, SRL (little-endian) and SRD.
Bytes SubrecordBytes(uint8_t srt, const Bytes& srd);

struct RecordFields {
  uint16_t RN = 1;
  uint8_t RFL = 0;
  uint32_t OID = 0;
  uint32_t EVID = 0;
  uint32_t TM = 0;
  uint8_t SST = 0;
  uint8_t RST = 0;
};

// A record header with RL = the size of `rd`, followed by rd.
Bytes RecordBytes(const RecordFields& fields, const Bytes& rd);

// A packet of type pt with an 11-byte header, the frame data, and SFRCS.
Bytes PacketBytes(uint8_t pt, const Bytes& frameData, uint16_t pid = 1);

// The same with a 16-byte header: RTE set, PRA, RCA and TTL.
Bytes RoutedPacketBytes(uint8_t pt, const Bytes& frameData, uint16_t pra, uint16_t rca,
                        uint8_t ttl, uint16_t pid = 1);

Bytes Concat(std::initializer_list<Bytes> parts);

// What a peer that confirms confirmations sends for a RESPONSE packet: an
// APPDATA packet (PID `pid`) with one record per record of the RESPONSE,
// each holding a RECORD_RESPONSE of it. Empty when the RESPONSE has no
// record, or `packet` is no RESPONSE.
Bytes EchoOfConfirmation(const Bytes& packet, uint16_t pid);

// A terminal's authorization request: one AUTH record (RN rn) with
// TERM_IDENTITY (TID 1133, IMEI 861715033983983).
Bytes IdentityPacket(uint16_t pid, uint16_t rn);

// Upper-case hex digit pairs separated by blanks.
std::string Hex(const Bytes& bytes);

void PutU16(Bytes& out, uint16_t value);
void PutU32(Bytes& out, uint32_t value);

}  // namespace testing_support
