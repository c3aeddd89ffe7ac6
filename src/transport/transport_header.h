#pragma once
// EGTS transport header: its decoded form and its check.
//
// Wire layout (16-bit values little-endian):
//   0 PRV  1 SKID  2 flags (PRF 7-6, RTE 5, ENA 4-3, CMP 2, PR 1-0)
//   3 HL (11 or 16, HCS included)  4 HE  5 FDL(2)  7 PID(2)  9 PT
//   RTE = 1: 10 PRA(2)  12 RCA(2)  14 TTL  15 HCS
//   RTE = 0: 10 HCS
// HCS is Crc8 over the first HL - 1 bytes.

#include <cstdint>

struct TransportHeader {
  uint8_t PRV = 1;
  uint8_t SKID = 0;
  uint8_t flags = 0;
  uint8_t HL = 0;
  uint8_t HE = 0;
  uint16_t FDL = 0;
  uint16_t PID = 0;
  uint8_t PT = 0;
  uint16_t PRA = 0;
  uint16_t RCA = 0;
  uint8_t TTL = 0;
  uint8_t HCS = 0;

  uint8_t PRF() const { return static_cast<uint8_t>(flags >> 6); }
  bool RTE() const { return (flags & 0x20) != 0; }
  uint8_t ENA() const { return static_cast<uint8_t>((flags >> 3) & 0x03); }
  bool CMP() const { return (flags & 0x04) != 0; }
  uint8_t PR() const { return static_cast<uint8_t>(flags & 0x03); }
};

constexpr uint8_t kShortHeaderLength = 11;
constexpr uint8_t kRoutedHeaderLength = 16;

// This platform's transport address for the routing check; 0 = none. Set
// once from the command line before any server thread exists.
extern uint16_t TPAddress;

// Checks the header of a packet of `count` bytes and fills `header` as far
// as it reads. Reads at most 16 bytes. Returns 0, 128, 131, 137, 139 or 144.
//
// Routing (RTE set): a packet counts as addressed to this platform when no
// address is configured (TPAddress 0) or its RCA equals TPAddress; such a
// packet is always processed. A packet for another recipient would have to
// be forwarded, which needs a TTL above 0: with TTL 0 it has expired (144).
// TTL is never decremented here.
uint8_t ValidateTransportHeader(const uint8_t* packet, uint16_t count, TransportHeader& header);
