#include "transport/transport_header.h"

#include "util/byte_order.h"
#include "transport/checksum.h"
#include "transport/result_codes.h"

uint16_t TPAddress = 0;

namespace {

bool HasExpired(const TransportHeader& header) {
  const bool forUs = TPAddress == 0 || header.RCA == TPAddress;
  return !forUs && header.TTL == 0;
}

}  // namespace

uint8_t ValidateTransportHeader(const uint8_t* packet, uint16_t count, TransportHeader& header) {
  using namespace EGTS;
  if (packet == nullptr || count < kShortHeaderLength) return EGTS_PC_INVDATALEN;

  header.PRV = packet[0];
  header.SKID = packet[1];
  header.flags = packet[2];
  if (header.PRV != 1 || header.PRF() != 0) return EGTS_PC_UNS_PROTOCOL;

  header.HL = packet[3];
  header.HE = packet[4];
  header.FDL = ReadU16(packet + 5);
  header.PID = ReadU16(packet + 7);
  header.PT = packet[9];
  if (header.HL != kShortHeaderLength && header.HL != kRoutedHeaderLength) {
    return EGTS_PC_INC_HEADERFORM;
  }
  // A header that needs 16 bytes cannot be checked on fewer.
  if ((header.HL == kRoutedHeaderLength || header.RTE()) && count < kRoutedHeaderLength) {
    return EGTS_PC_INVDATALEN;
  }

  const uint8_t expected = Crc8(packet, static_cast<uint8_t>(header.HL - 1));
  if (header.RTE()) {
    header.PRA = ReadU16(packet + 10);
    header.RCA = ReadU16(packet + 12);
    header.TTL = packet[14];
    header.HCS = packet[15];
  } else {
    header.HCS = packet[10];
  }
  if (header.HCS != expected) return EGTS_PC_HEADERCRC_ERROR;
  if (!header.RTE()) return EGTS_PC_OK;
  return HasExpired(header) ? EGTS_PC_TTLEXPIRED : EGTS_PC_OK;
}
