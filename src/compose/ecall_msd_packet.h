#pragma once
// An emergency call's data as a terminal sends it: an EGTS_PT_APPDATA
// packet with one record of the ECALL service (OID = the terminal, TM = the
// MSD's time) holding RAW_MSD_DATA (format 1, the MSD encoded by
// msd_encoder.h) and, when asked, ECALL_MSD_DATA with the same content in
// its byte-aligned layout. The bundled example packet and the tests are
// made with it.

#include <cstdint>
#include <string>

#include "service/ecall/msd.h"
#include "service/ecall/msd_encoder.h"
#include "service/ecall/subrecord_ecall_msd_data.h"
#include "transport/bytestream.h"

struct EcallMsdPacket {
  uint16_t PID = 1;
  uint16_t RN = 1;
  uint32_t OID = 0;
  // ECALL_MSD_DATA first, then RAW_MSD_DATA, in the one record.
  bool withMsdData = false;
  EGTS::Msd::EncodeOptions encoding;
};

// ECALL_MSD_DATA (SRT 50) with the content of the MSD: Format Version =
// msdVersion; absent recent locations and passengers hold the undefined
// values; no additional data.
EGTS::Subrecord_ECALL_MSD_DATA MsdDataOf(const EGTS::Msd::ECallMessage& message);

// Resets `out` and writes the packet. 0 on success; otherwise the
// serializer's result, or 132 (EGTS_PC_INC_DATAFORM) with `error` saying
// why when the MSD cannot be encoded.
uint8_t ComposeEcallMsdPacket(const EGTS::Msd::ECallMessage& message, const EcallMsdPacket& how,
                              EGTS::bytestream& out, std::string& error);
